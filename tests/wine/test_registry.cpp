// The user's settings in the registry: every value type round-trips, values of the wrong type or
// size read as what they are, and a settings file written on Linux imports with reg import while
// an export of the registry reads as a settings file.
#include "platform/SettingsFile.h"
#include "platform/UserSettings.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <windows.h>

Q_DECLARE_METATYPE(RegValue)

namespace {
// A key of this run's own, so that tests running at once in one Wine prefix do not meet.
QString testKey() {
  return QStringLiteral("\\SOFTWARE\\Quarnel\\TamberlinTest%1").arg(QCoreApplication::applicationPid());
}

RegValue other(quint32 type, const QByteArray &data) {
  RegValue v;
  v.type = RegValue::Type::Other;
  v.rawType = type;
  v.data = data;
  return v;
}

int reg(const QStringList &arguments) {
  QProcess process;
  process.start(QStringLiteral("reg"), arguments);
  if (!process.waitForFinished(60000))
    return -1;
  return process.exitCode();
}
} // namespace

class TestRegistry : public QObject {
  Q_OBJECT
private slots:
  void cleanup() { reg({"delete", "HKCU" + testKey(), "/f"}); }

  void roundTripOfEveryType_data() {
    QTest::addColumn<RegValue>("value");
    QTest::newRow("string") << RegValue::fromString(QStringLiteral("COM3"));
    QTest::newRow("empty string") << RegValue::fromString(QString());
    QTest::newRow("non-ASCII") << RegValue::fromString(QStringLiteral("Schnittstelle für Gerät ✓"));
    QTest::newRow("dword") << RegValue::fromDword(0xfffffffeu);
    QTest::newRow("placement") << RegValue::fromBinary(
        QByteArray::fromHex("3b0000006c000000ffffffff00800000"));
    QTest::newRow("binary empty") << RegValue::fromBinary(QByteArray());
    QTest::newRow("multi-string") << other(REG_MULTI_SZ, QByteArray("a\0\0\0b\0\0\0\0\0", 10));
  }
  void roundTripOfEveryType() {
    QFETCH(RegValue, value);
    UserSettings settings;
    QVERIFY2(
        settings.setValue(testKey() + QStringLiteral("\\kvSerialOptionCaption"), QStringLiteral("V"), value),
        qPrintable(settings.lastError()));
    const std::optional<RegValue> read =
        settings.value(testKey() + QStringLiteral("\\kvSerialOptionCaption"), QStringLiteral("v"));
    QVERIFY(read.has_value());
    QCOMPARE(int(read->type), int(value.type));
    QVERIFY(*read == value);
    QCOMPARE(settings.subKeys(testKey()), QStringList{"kvSerialOptionCaption"});
  }

  // A DWORD of the wrong size is no DWORD, and a missing value or key is nothing, never a crash.
  void wrongSizesAndMissingValues() {
    UserSettings settings;
    QVERIFY(settings.createKey(testKey()));
    HKEY key = nullptr;
    const std::wstring path = testKey().mid(1).toStdWString();
    QCOMPARE(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const BYTE two[2] = {1, 2};
    RegSetValueExW(key, L"DefaultMonitor", 0, REG_DWORD, two, 2);
    RegCloseKey(key);
    const std::optional<RegValue> read = settings.value(testKey(), QStringLiteral("DefaultMonitor"));
    QVERIFY(read.has_value());
    QCOMPARE(int(read->type), int(RegValue::Type::Other));
    QCOMPARE(read->rawType, quint32(REG_DWORD));
    QVERIFY(!settings.value(testKey(), QStringLiteral("Nothing")).has_value());
    QVERIFY(
        !settings.value(testKey() + QStringLiteral("\\Nowhere"), QStringLiteral("PortNumber")).has_value());
    QVERIFY(settings.deleteValue(testKey(), QStringLiteral("DefaultMonitor")));
    QVERIFY(settings.valueNames(testKey()).isEmpty());
  }

  void fileFromLinuxImportsAndExportReadsAsAFile() {
    QTemporaryDir dir;
    const QString sheet = testKey() + QStringLiteral("\\kvSerialOptionCaption");
    SettingsFile linux(dir.filePath(QStringLiteral("Tamberlin.reg")));
    QVERIFY(
        linux.setValue(sheet, QStringLiteral("PortNumber"), RegValue::fromString(QStringLiteral("COM7"))));
    QVERIFY(linux.setValue(testKey(), QStringLiteral("DefaultMonitor"), RegValue::fromDword(1)));
    QVERIFY(linux.setValue(testKey(), QStringLiteral("WindowState"), RegValue::fromBinary(QByteArray(1, 2))));
    QCOMPARE(reg({"import", QDir::toNativeSeparators(linux.path())}), 0);

    UserSettings settings;
    QVERIFY(settings.value(sheet, QStringLiteral("PortNumber")) ==
            RegValue::fromString(QStringLiteral("COM7")));
    QVERIFY(settings.value(testKey(), QStringLiteral("DefaultMonitor")) == RegValue::fromDword(1));
    QVERIFY(settings.value(testKey(), QStringLiteral("WindowState")) ==
            RegValue::fromBinary(QByteArray(1, 2)));

    const QString exported = dir.filePath(QStringLiteral("export.reg"));
    QCOMPARE(reg({"export", "HKCU" + testKey(), QDir::toNativeSeparators(exported), "/y"}), 0);
    SettingsFile back(exported);
    QVERIFY2(back.value(sheet, QStringLiteral("PortNumber")) == RegValue::fromString(QStringLiteral("COM7")),
             qPrintable(back.lastError()));
    QVERIFY(back.value(testKey(), QStringLiteral("DefaultMonitor")) == RegValue::fromDword(1));
    QVERIFY(back.value(testKey(), QStringLiteral("WindowState")) == RegValue::fromBinary(QByteArray(1, 2)));
  }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"
