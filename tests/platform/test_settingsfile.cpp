#include "platform/RegExportFormat.h"
#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {
const QString kKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin");

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}
} // namespace

class TestSettingsFile : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QString m_path;

private slots:
  void init() {
    m_path = m_dir.filePath(QStringLiteral("Quarnel/Tamberlin.reg"));
    QFile::remove(m_path);
  }

  void defaultPathFollowsXdgConfigHome() {
    qputenv("XDG_CONFIG_HOME", "/tmp/cfg-x");
    QCOMPARE(SettingsFile::defaultPath(), QStringLiteral("/tmp/cfg-x/Quarnel/Tamberlin.reg"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(SettingsFile::defaultPath(),
             QDir::homePath() + QStringLiteral("/.config/Quarnel/Tamberlin.reg"));
  }

  void roundTripOfEveryType_data() {
    QTest::addColumn<RegValue>("value");
    QTest::newRow("string") << RegValue::fromString(QStringLiteral("COM3"));
    QTest::newRow("empty string") << RegValue::fromString(QString());
    QTest::newRow("quotes and backslashes") << RegValue::fromString(QStringLiteral("a \"b\" \\\\c\\"));
    QTest::newRow("non-ASCII") << RegValue::fromString(QStringLiteral("Schnittstelle für Gerät"));
    QTest::newRow("line break") << RegValue::fromString(QStringLiteral("two\r\nlines"));
    QTest::newRow("dword") << RegValue::fromDword(0xfffffffeu);
    QTest::newRow("binary 16") << RegValue::fromBinary(
        QByteArray::fromHex("3b0000006c000000ffffffff00800000"));
    QTest::newRow("binary long") << RegValue::fromBinary(QByteArray(100, '\xab'));
    QTest::newRow("binary empty") << RegValue::fromBinary(QByteArray());
    RegValue multi;
    multi.type = RegValue::Type::Other;
    multi.rawType = 7;
    multi.data = QByteArray::fromHex("610000000000");
    QTest::newRow("other type") << multi;
  }
  void roundTripOfEveryType() {
    QFETCH(RegValue, value);
    SettingsFile file(m_path);
    QVERIFY2(file.setValue(kKey, QStringLiteral("Value"), value), qPrintable(file.lastError()));
    SettingsFile again(m_path);
    const auto read = again.value(kKey.toLower(), QStringLiteral("VALUE"));
    QVERIFY(read.has_value());
    QVERIFY(*read == value);
    QVERIFY(readAll(m_path).startsWith("Windows Registry Editor Version 5.00\r\n"));
  }

  void writesInTheExportLayout() {
    SettingsFile file(m_path);
    QVERIFY(file.setValue(kKey + QStringLiteral("\\kvSerialOptionCaption"), QStringLiteral("PortNumber"),
                          RegValue::fromString(QStringLiteral("COM3"))));
    QVERIFY(file.setValue(kKey, QStringLiteral("DefaultMonitor"), RegValue::fromDword(0)));
    QVERIFY(file.setValue(kKey, QStringLiteral("WindowState"), RegValue::fromBinary(QByteArray(1, 2))));
    const QByteArray expected = "Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"
                                "\"PortNumber\"=\"COM3\"\r\n\r\n"
                                "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n"
                                "\"DefaultMonitor\"=dword:00000000\r\n"
                                "\"WindowState\"=hex:02\r\n\r\n";
    QCOMPARE(readAll(m_path), expected);
  }

  void keysAndNamesIgnoreCaseAndKeepOrder() {
    SettingsFile file(m_path);
    QVERIFY(!file.keyExists(kKey));
    QVERIFY(file.createKey(kKey + QStringLiteral("\\kvSerialOptionCaption")));
    QVERIFY(file.keyExists(QStringLiteral("software\\quarnel\\tamberlin")));
    QVERIFY(file.setValue(kKey, QStringLiteral("b"), RegValue::fromDword(1)));
    QVERIFY(file.setValue(kKey, QStringLiteral("a"), RegValue::fromDword(2)));
    QVERIFY(file.setValue(kKey, QStringLiteral("B"), RegValue::fromDword(3)));
    QCOMPARE(file.valueNames(kKey), (QStringList{"b", "a"}));
    QCOMPARE(file.value(kKey, QStringLiteral("b"))->dword, 3u);
    QCOMPARE(file.subKeys(QStringLiteral("\\SOFTWARE\\Quarnel")), QStringList{"Tamberlin"});
    QVERIFY(file.deleteValue(kKey, QStringLiteral("A")));
    QCOMPARE(file.valueNames(kKey), QStringList{"b"});
  }

  void readsUtf16AndKeepsForeignContent() {
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n"
                                        "; exported by regedit\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Quarnel\\Tamberlin]\r\n"
                                        "\"WindowPosSize\"=hex:3b,00,00,00,6c,00,00,00,\\\r\n"
                                        "  ff,00,00,00,00,01,00,00\r\n"
                                        "@=\"default\"\r\n\r\n"
                                        "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
                                        "\"Keep\"=hex(b):01,00,00,00,00,00,00,00\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    writeAll(m_path, bytes);

    SettingsFile file(m_path);
    const auto bounds = file.value(kKey, QStringLiteral("WindowPosSize"));
    QVERIFY2(bounds.has_value(), qPrintable(file.lastError()));
    QCOMPARE(bounds->data, QByteArray::fromHex("3b0000006c000000ff00000000010000"));
    QCOMPARE(file.value(kKey, QString())->string, QStringLiteral("default"));

    // A change rewrites the file in UTF-8 and keeps every other key and value.
    QVERIFY(file.setValue(kKey, QStringLiteral("WindowState"), RegValue::fromBinary(QByteArray(1, 0))));
    QCOMPARE(file.value(QStringLiteral("Software\\Other"), QStringLiteral("Keep"))->data,
             QByteArray::fromHex("0100000000000000"));
    QCOMPARE(file.value(kKey, QStringLiteral("WindowPosSize"))->data.size(), 16);
    QVERIFY(readAll(m_path).startsWith("Windows Registry"));
  }

  void emptyOrMissingFileIsEmpty() {
    SettingsFile file(m_path);
    QVERIFY(!file.value(kKey, QStringLiteral("x")).has_value());
    QVERIFY(file.lastError().isEmpty());
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    writeAll(m_path, QByteArray());
    QVERIFY(!file.value(kKey, QStringLiteral("x")).has_value());
    QVERIFY(file.lastError().isEmpty());
    QVERIFY(file.setValue(kKey, QStringLiteral("x"), RegValue::fromDword(7)));
    QCOMPARE(file.value(kKey, QStringLiteral("x"))->dword, 7u);
  }

  void corruptFileIsReportedAndNeverWritten_data() {
    QTest::addColumn<QByteArray>("content");
    const QByteArray head =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n";
    QTest::newRow("not the format") << QByteArray("PortNumber=COM3\n");
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\x02\xff\xfe\x80", 6);
    QTest::newRow("truncated string") << head + "\"PortNumber\"=\"CO";
    QTest::newRow("truncated key") << QByteArray(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_US");
    QTest::newRow("bad dword") << head + "\"DefaultMonitor\"=dword:xyz";
    QTest::newRow("value before key")
        << QByteArray("Windows Registry Editor Version 5.00\r\n\"a\"=\"b\"\r\n");
    QTest::newRow("invalid UTF-8") << head + "\"a\"=\"\xc3\x28\"\r\n";
  }
  void corruptFileIsReportedAndNeverWritten() {
    QFETCH(QByteArray, content);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    writeAll(m_path, content);
    SettingsFile file(m_path);
    QVERIFY(!file.value(kKey, QStringLiteral("PortNumber")).has_value());
    QVERIFY(file.lastError().contains(m_path));
    QVERIFY(!file.setValue(kKey, QStringLiteral("PortNumber"), RegValue::fromString(QStringLiteral("COM1"))));
    QVERIFY(!file.createKey(kKey + QStringLiteral("\\New")));
    QVERIFY(!file.lastError().isEmpty());
    QCOMPARE(readAll(m_path), content);
  }

  void unwritableLocationFailsCleanly() {
    // Root ignores permission bits, so make the folder impossible: a regular file in its path.
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    writeAll(blocker, "x");
    SettingsFile file(blocker + QStringLiteral("/Quarnel/Tamberlin.reg"));
    QVERIFY(!file.createKey(kKey));
    QVERIFY(!file.setValue(kKey, QStringLiteral("a"), RegValue::fromDword(1)));
    QVERIFY(!file.lastError().isEmpty());
    QCOMPARE(readAll(blocker), QByteArray("x"));
  }

  void replaceIsAtomic() {
    SettingsFile file(m_path);
    QVERIFY(file.setValue(kKey, QStringLiteral("a"), RegValue::fromDword(1)));
    QVERIFY(file.setValue(kKey, QStringLiteral("b"), RegValue::fromDword(2)));
    // Only the file itself remains: no temporary or lock file is left behind.
    QCOMPARE(QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{"Tamberlin.reg"});
  }

  // Two running copies write at the same time: neither loses the other's values.
  void twoWritersLoseNothing() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const int perWriter = 40;
    const pid_t child = fork();
    QVERIFY(child >= 0);
    const QString prefix = child == 0 ? QStringLiteral("child") : QStringLiteral("parent");
    SettingsFile file(m_path);
    bool allOk = true;
    for (int i = 0; i < perWriter; ++i)
      allOk = file.setValue(kKey, prefix + QString::number(i), RegValue::fromDword(quint32(i))) && allOk;
    if (child == 0)
      _exit(allOk ? 0 : 1);
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(allOk);
    const QStringList names = file.valueNames(kKey);
    QCOMPARE(names.size(), 2 * perWriter);
    for (int i = 0; i < perWriter; ++i) {
      QVERIFY(names.contains(QStringLiteral("child%1").arg(i)));
      QVERIFY(names.contains(QStringLiteral("parent%1").arg(i)));
    }
  }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
