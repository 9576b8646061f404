// The version resource of a Windows program, read back through the version functions: the values
// the build writes, and the texts the about window makes of them.
#include "platform/VersionInfo.h"
#include "ui/VersionStrings.h"

#include "BuildInfo.h"

#include <QTest>

class TestVersionResource : public QObject {
  Q_OBJECT
private slots:
  void valuesOfTheProgramFile_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("ProductName") << "ProductName" << QString::fromUtf8(buildinfo::ProductName);
    QTest::newRow("ProductVersion") << "ProductVersion" << QString::fromUtf8(buildinfo::ProductVersion);
    QTest::newRow("LegalCopyright") << "LegalCopyright" << QString::fromUtf8(buildinfo::LegalCopyright);
    QTest::newRow("LegalTrademarks") << "LegalTrademarks" << QString::fromUtf8(buildinfo::LegalTrademarks);
    QTest::newRow("OriginalFilename") << "OriginalFilename"
                                      << "test_versionresource.exe";
  }
  void valuesOfTheProgramFile() {
    QFETCH(QString, name);
    QFETCH(QString, value);
    const std::optional<VersionData> data = VersionInfo::instance().read();
    QVERIFY(data.has_value());
    QCOMPARE(data->strings.value(name), value);
  }

  void aboutTextsAndAMissingName() {
    QCOMPARE(GetProductInfoString(),
             QStringLiteral("%1 V%2").arg(QString::fromUtf8(buildinfo::ProductName),
                                          QString::fromUtf8(buildinfo::ProductVersion)));
    const std::optional<VersionData> data = VersionInfo::instance().read();
    QVERIFY(data.has_value());
    QCOMPARE(GetVersionInfoValue(*data, QStringLiteral("PrivateBuild")),
             QStringLiteral(" PrivateBuild not available"));
  }
};

QTEST_GUILESS_MAIN(TestVersionResource)
#include "test_versionresource.moc"
