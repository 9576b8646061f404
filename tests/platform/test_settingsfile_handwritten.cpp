// Settings files as people write them by hand and as other tools export them.
#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {
const QString kKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin");
const QByteArray kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
const QByteArray kKeyLine = "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n";
// Every file of the table has this value before the case, so a case that spoils the rest shows.
const QByteArray kProbe = "\"probe\"=\"ok\"\r\n";
// Deletion lines: the probe lives in a key that none of them touches.
const QString kElsewhere = QStringLiteral("\\SOFTWARE\\Elsewhere");
const QByteArray kElsewhereLine = "[HKEY_CURRENT_USER\\SOFTWARE\\Elsewhere]\r\n";
const QByteArray kDeleteKeyLine = "[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n";

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
}

RegValue other(quint32 type, const QByteArray &data) {
  RegValue v;
  v.type = RegValue::Type::Other;
  v.rawType = type;
  v.data = data;
  return v;
}

QByteArray utf16(const QString &s) {
  return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}
} // namespace

using MaybeValue = std::optional<RegValue>;

class TestSettingsFileHandWritten : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QString m_path;

private slots:
  void init() {
    m_path = m_dir.filePath(QStringLiteral("Quarnel/Tamberlin.reg"));
    QFile::remove(m_path);
  }

  void reads_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<MaybeValue>("expected"); // of "a"; nothing: the line is not read
    const QByteArray v5 = kHeader + kKeyLine + kProbe;
    const QByteArray v4 = "REGEDIT4\r\n\r\n" + kKeyLine + kProbe;
    const MaybeValue x = RegValue::fromString(QStringLiteral("x"));
    const MaybeValue bytes12 = RegValue::fromBinary(QByteArray::fromHex("0102"));

    QTest::newRow("# comment line") << v5 + "# a note\r\n\"a\"=\"x\"\r\n" << x;
    QTest::newRow("; comment after a string") << v5 + "\"a\"=\"x\" ;note\r\n" << x;
    QTest::newRow("; comment after a dword") << v5 + "\"a\"=dword:00000010 ; sixteen\r\n"
                                             << MaybeValue(RegValue::fromDword(16));
    QTest::newRow("; comment after hex") << v5 + "\"a\"=hex:01,02 ;c\r\n" << bytes12;
    QTest::newRow("blanks around =") << v5 + "\"a\" \t= \"x\"\r\n" << x;
    QTest::newRow("blank after dword:") << v5 + "\"a\"=dword: 0000002a\r\n"
                                        << MaybeValue(RegValue::fromDword(42));
    QTest::newRow("blanks in a hex list") << v5 + "\"a\"=hex: 01, 02\r\n" << bytes12;
    QTest::newRow("trailing comma") << v5 + "\"a\"=hex:01,02,\r\n" << bytes12;
    QTest::newRow("blank line in a continuation") << v5 + "\"a\"=hex:01,\\\r\n\r\n  02\r\n" << bytes12;
    QTest::newRow("comment lines in a continuation") << v5 + "\"a\"=hex:01,\\\r\n; one\r\n  # two\r\n  02\r\n"
                                                     << bytes12;
    QTest::newRow("blank between comma and continuation") << v5 + "\"a\"=hex:01, \\\r\n  02\r\n" << bytes12;
    // An import drops hex data continued after a digit: it would split a byte or join two bytes.
    QTest::newRow("byte split across a continuation") << v5 + "\"a\"=hex:11,22,33,4\\\r\n  4,55\r\n"
                                                      << MaybeValue();
    QTest::newRow("no comma before a continuation") << v5 + "\"a\"=hex:01,02\\\r\n  03\r\n" << MaybeValue();
    QTest::newRow("split byte on a later continuation line") << v5 + "\"a\"=hex:01,\\\r\n  02,0\\\r\n  3\r\n"
                                                             << MaybeValue();
    QTest::newRow("split byte leaves an earlier value")
        << v5 + "\"a\"=hex:01,02\r\n\"a\"=hex:11,2\\\r\n  2\r\n"
        << bytes12;
    QTest::newRow("file ends after ,\\") << v5 + "\"a\"=hex:01,02,\\" << bytes12;
    QTest::newRow("file ends after ,\\ and a line end") << v5 + "\"a\"=hex:01,02,\\\r\n\r\n" << bytes12;
    QTest::newRow("hex(ffffffff)") << v5 + "\"a\"=hex(ffffffff):01\r\n"
                                   << MaybeValue(other(0xffffffffu, QByteArray(1, 1)));
    QTest::newRow("key line with a trailing backslash, in a second section")
        << v5 + "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\r\n\"a\"=\"no\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\]\r\n\"a\"=\"x\"\r\n"
        << x;
    QTest::newRow("escapes \\\\ and \\\"") << v5 + "\"a\"=\"q\\\"b\\\\\"\r\n"
                                           << MaybeValue(RegValue::fromString(QStringLiteral("q\"b\\")));
    QTest::newRow("escape \\0 is no escape") << v5 + "\"a\"=\"Value1\\0\"\r\n" << MaybeValue();
    QTest::newRow("escape \\n is no escape") << v5 + "\"a\"=\"x\\ny\"\r\n" << MaybeValue();
    QTest::newRow("bad dword in the middle") << v5 + "\"a\"=dword:xyz\r\n\"b\"=\"c\"\r\n" << MaybeValue();
    QTest::newRow("a line not understood") << v5 + "this is no value\r\n\"a\"=\"x\"\r\n" << x;
    QTest::newRow("values of a key line not understood") << v5 + "[ ]\r\n\"a\"=\"x\"\r\n" << MaybeValue();
    QTest::newRow("LF line ends") << QByteArray(v5 + "\"a\"=\"x\"\r\n").replace("\r\n", "\n") << x;
    QTest::newRow("REGEDIT4 string in Windows-1252")
        << v4 + "\"a\"=\"M\xfcller \x80\"\r\n"
        << MaybeValue(RegValue::fromString(QStringLiteral("Müller €")));
    QTest::newRow("REGEDIT4 hex(2) is ANSI")
        << v4 + "\"a\"=hex(2):25,50,41,54,48,25,00\r\n"
        << MaybeValue(other(2, utf16(QStringLiteral("%PATH%")) + QByteArray(2, 0)));
    QTest::newRow("REGEDIT4 hex(7) is ANSI")
        << v4 + "\"a\"=hex(7):61,00,62,00,00\r\n"
        << MaybeValue(other(7, utf16(QStringLiteral("a")) + QByteArray(2, 0) + utf16(QStringLiteral("b")) +
                                   QByteArray(4, 0)));
    QTest::newRow("REGEDIT4 hex(1) is ANSI") << v4 + "\"a\"=hex(1):4d,fc,6c,00\r\n"
                                             << MaybeValue(RegValue::fromString(QStringLiteral("Mül")));
    QTest::newRow("Unicode hex(2) is UTF-16")
        << v5 + "\"a\"=hex(2):25,00,50,00,00,00\r\n"
        << MaybeValue(other(2, utf16(QStringLiteral("%P")) + QByteArray(2, 0)));
  }
  void reads() {
    QFETCH(QByteArray, content);
    QFETCH(MaybeValue, expected);
    writeAll(m_path, content);
    SettingsFile file(m_path);
    const MaybeValue probe = file.value(kKey, QStringLiteral("probe"));
    QVERIFY2(probe.has_value(), qPrintable(file.lastError()));
    QCOMPARE(probe->string, QStringLiteral("ok"));
    const MaybeValue got = file.value(kKey, QStringLiteral("a"));
    QCOMPARE(got.has_value(), expected.has_value());
    if (expected)
      QVERIFY(*got == *expected);
    // A change keeps the file readable and the value as it was.
    QVERIFY2(file.setValue(kKey, QStringLiteral("probe"), RegValue::fromString(QStringLiteral("again"))),
             qPrintable(file.lastError()));
    const MaybeValue after = file.value(kKey, QStringLiteral("a"));
    QCOMPARE(after.has_value(), expected.has_value());
    if (expected)
      QVERIFY(*after == *expected);
  }

  // Comments, lines the program does not understand and values it does not change stay as the user
  // wrote them, where they were; a changed value keeps its comment; a new one goes after the key's
  // last value.
  void rewriteKeepsTheUsersLines() {
    const QByteArray before = "; settings of the gateway tool\n"
                              "Windows Registry Editor Version 5.00\n"
                              "\n"
                              "# written by hand\n"
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\n"
                              "\"WindowState\" = hex: 02 ; maximized\n"
                              "this line means nothing\n"
                              "\"Bad\"=\"Value1\\0\"\n"
                              "\"Split\"=hex:11,22,33,4\\\n"
                              "  4,55\n"
                              "\"Bounds\"=hex:01,02,\\\n"
                              "; in between\n"
                              "    03\n"
                              "\"Odd\"=hex(1):00,d8,41,00,00,00\n"
                              "\n"
                              "[ ]\n"
                              "\"x\"=\"y\"\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption\\]\n"
                              "\"PortNumber\"=\"COM1\" ; the bench\n";
    writeAll(m_path, before);
    SettingsFile file(m_path);
    const QString sheet = kKey + QStringLiteral("\\kvSerialOptionCaption");
    QVERIFY2(file.setValue(sheet, QStringLiteral("PortNumber"), RegValue::fromString(QStringLiteral("COM7"))),
             qPrintable(file.lastError()));
    QVERIFY(file.setValue(kKey, QStringLiteral("DefaultMonitor"), RegValue::fromDword(1)));
    QVERIFY(file.setValue(kKey, QStringLiteral("WindowState"), RegValue::fromBinary(QByteArray(1, 0))));
    const QByteArray after = "; settings of the gateway tool\n"
                             "Windows Registry Editor Version 5.00\n"
                             "\n"
                             "# written by hand\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\n"
                             "\"WindowState\"=hex:00 ; maximized\n"
                             "this line means nothing\n"
                             "\"Bad\"=\"Value1\\0\"\n"
                             "\"Split\"=hex:11,22,33,4\\\n"
                             "  4,55\n"
                             "\"Bounds\"=hex:01,02,\\\n"
                             "; in between\n"
                             "    03\n"
                             "\"Odd\"=hex(1):00,d8,41,00,00,00\n"
                             "\"DefaultMonitor\"=dword:00000001\n"
                             "\n"
                             "[ ]\n"
                             "\"x\"=\"y\"\n"
                             "\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption\\]\n"
                             "\"PortNumber\"=\"COM7\" ; the bench\n";
    QCOMPARE(readAll(m_path), after);
    QCOMPARE(file.value(kKey, QStringLiteral("Bounds"))->data, QByteArray::fromHex("010203"));
    QVERIFY(!file.value(kKey, QStringLiteral("Split")).has_value());
  }

  // A REGEDIT4 file is written back as a Unicode export: the same values, ANSI strings in UTF-16.
  void regedit4BecomesAUnicodeExport() {
    writeAll(m_path, "REGEDIT4\r\n\r\n" + kKeyLine +
                         "\"Name\"=\"M\xfcller\"\r\n"
                         "\"Path\"=hex(2):25,50,41,54,48,25,00 ; the path\r\n");
    SettingsFile file(m_path);
    const MaybeValue path = file.value(kKey, QStringLiteral("Path"));
    QVERIFY2(path.has_value(), qPrintable(file.lastError()));
    QVERIFY(file.setValue(kKey, QStringLiteral("New"), RegValue::fromDword(3)));
    QCOMPARE(readAll(m_path), kHeader + kKeyLine +
                                  "\"Name\"=\"M\xc3\xbcller\"\r\n"
                                  "\"Path\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00 ; the path\r\n"
                                  "\"New\"=dword:00000003\r\n");
    QVERIFY(*file.value(kKey, QStringLiteral("Path")) == *path);
    QCOMPARE(file.value(kKey, QStringLiteral("Name"))->string, QStringLiteral("Müller"));
  }

  // Two sections of one key are one key: a value of either is found, changed where it is, and
  // removed from both.
  void twoSectionsAreOneKey() {
    writeAll(m_path,
             kHeader + kKeyLine + "\"a\"=\"1\"\r\n\r\n" + kKeyLine + "\"b\"=\"2\"\r\n\"a\"=\"3\"\r\n");
    SettingsFile file(m_path);
    QCOMPARE(file.value(kKey, QStringLiteral("a"))->string, QStringLiteral("3"));
    QCOMPARE(file.valueNames(kKey), (QStringList{"a", "b"}));
    QVERIFY(file.setValue(kKey, QStringLiteral("b"), RegValue::fromString(QStringLiteral("4"))));
    QCOMPARE(readAll(m_path),
             kHeader + kKeyLine + "\"a\"=\"1\"\r\n\r\n" + kKeyLine + "\"b\"=\"4\"\r\n\"a\"=\"3\"\r\n");
    QVERIFY(file.deleteValue(kKey, QStringLiteral("A")));
    QVERIFY(!file.value(kKey, QStringLiteral("a")).has_value());
    QCOMPARE(file.valueNames(kKey), QStringList{"b"});
  }

  // "name"=- and [-KEY] lines take away what came before them, line by line as an import does.
  void deletionLines_data() {
    QTest::addColumn<QByteArray>("body"); // after "a"="x" and @="x" in the key
    QTest::addColumn<QString>("name");
    QTest::addColumn<MaybeValue>("expected");
    QTest::addColumn<bool>("keyExists");
    const MaybeValue x = RegValue::fromString(QStringLiteral("x"));
    const MaybeValue y = RegValue::fromString(QStringLiteral("y"));
    const QByteArray a = "\"a\"=-\r\n";
    QTest::newRow("value deleted") << a << "a" << MaybeValue() << true;
    QTest::newRow("name in another case") << QByteArray("\"A\"=-\r\n") << "a" << MaybeValue() << true;
    QTest::newRow("blanks and a comment")
        << QByteArray("\"a\" = - ; gone\r\n") << "a" << MaybeValue() << true;
    QTest::newRow("default value deleted") << QByteArray("@=-\r\n") << "" << MaybeValue() << true;
    QTest::newRow("@=- leaves a") << QByteArray("@=-\r\n") << "a" << x << true;
    QTest::newRow("more after - is no deletion") << QByteArray("\"a\"=-1\r\n") << "a" << x << true;
    QTest::newRow("in a later section of the key") << "\r\n" + kKeyLine + a << "a" << MaybeValue() << true;
    QTest::newRow("set again after") << a + "\"a\"=\"y\"\r\n"
                                     << "a" << y << true;
    QTest::newRow("set again in a later section") << a + "\r\n" + kKeyLine + "\"a\"=\"y\"\r\n"
                                                  << "a" << y << true;
    QTest::newRow("in another key") << "\r\n" + kElsewhereLine + a << "a" << x << true;
    QTest::newRow("under a key line not understood") << "\r\n[ ]\r\n" + a << "a" << x << true;
    QTest::newRow("key deleted") << "\r\n" + kDeleteKeyLine << "a" << MaybeValue() << false;
    QTest::newRow("key deleted, other case, doubled backslashes")
        << QByteArray("\r\n[-hkey_current_user\\software\\\\quarnel\\tamberlin\\]\r\n") << "a" << MaybeValue()
        << false;
    QTest::newRow("parent deleted") << QByteArray("\r\n[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel]\r\n") << "a"
                                    << MaybeValue() << false;
    QTest::newRow("subkey deleted") << QByteArray(
                                           "\r\n[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\s]\r\n")
                                    << "a" << x << true;
    QTest::newRow("key of a like name deleted")
        << QByteArray("\r\n[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamber]\r\n") << "a" << x << true;
    QTest::newRow("the root is never deleted")
        << QByteArray("\r\n[-HKEY_CURRENT_USER]\r\n") << "a" << x << true;
    QTest::newRow("values after a key deletion are not read") << "\r\n" + kDeleteKeyLine + "\"a\"=\"y\"\r\n"
                                                              << "a" << MaybeValue() << false;
    QTest::newRow("key created again, without its values")
        << "\r\n" + kDeleteKeyLine + "\r\n" + kKeyLine << "a" << MaybeValue() << true;
    QTest::newRow("key created again by a subkey")
        << "\r\n" + kDeleteKeyLine + "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\s]\r\n"
        << "a" << MaybeValue() << true;
    QTest::newRow("key created again with the value")
        << "\r\n" + kDeleteKeyLine + "\r\n" + kKeyLine + "\"a\"=\"y\"\r\n"
        << "a" << y << true;
  }
  void deletionLines() {
    QFETCH(QByteArray, body);
    QFETCH(QString, name);
    QFETCH(MaybeValue, expected);
    QFETCH(bool, keyExists);
    const QByteArray content =
        kHeader + kElsewhereLine + kProbe + "\r\n" + kKeyLine + "\"a\"=\"x\"\r\n@=\"x\"\r\n" + body;
    writeAll(m_path, content);
    SettingsFile file(m_path);
    QCOMPARE(file.value(kElsewhere, QStringLiteral("probe")).value_or(RegValue()).string,
             QStringLiteral("ok"));
    QCOMPARE(file.value(kKey, name), expected);
    QCOMPARE(file.keyExists(kKey), keyExists);
    // A change elsewhere keeps every line, and the value as it was.
    QVERIFY(
        file.setValue(kElsewhere, QStringLiteral("probe"), RegValue::fromString(QStringLiteral("again"))));
    QCOMPARE(readAll(m_path), QByteArray(content).replace("\"probe\"=\"ok\"", "\"probe\"=\"again\""));
    QCOMPARE(file.value(kKey, name), expected);
  }

  // The program's own value, taken away by a deletion line, is written after that line, which stays:
  // it reads back as written, and what else the line deleted stays deleted.
  void writeAfterADeletionLine_data() {
    QTest::addColumn<QByteArray>("before"); // "a" and "b" are deleted by the same lines
    QTest::addColumn<QByteArray>("after");
    const QByteArray ab = kKeyLine + "\"a\"=\"x\"\r\n\"b\"=\"x\"\r\n";
    const QByteArray other = kElsewhereLine + "\"c\"=\"1\"\r\n";
    const QByteArray newA = "\"a\"=\"new\"\r\n";
    const QByteArray deletions = "\"a\"=-\r\n\"b\"=-\r\n";
    QTest::newRow("value deletions") << ab + deletions + "\r\n" + other
                                     << ab + deletions + newA + "\r\n" + other;
    QTest::newRow("key deletion at the end")
        << ab + "\r\n" + kDeleteKeyLine << ab + "\r\n" + kDeleteKeyLine + "\r\n" + kKeyLine + newA + "\r\n";
    const QByteArray parent = "[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel]\r\n";
    QTest::newRow("parent deletion, another key after it")
        << ab + "\r\n" + parent + "\r\n" + other
        << ab + "\r\n" + parent + "\r\n" + other + "\r\n" + kKeyLine + newA + "\r\n";
    QTest::newRow("key deleted and created again")
        << ab + "\r\n" + kDeleteKeyLine + "\r\n" + kKeyLine + "\"c\"=\"1\"\r\n"
        << ab + "\r\n" + kDeleteKeyLine + "\r\n" + kKeyLine + "\"c\"=\"1\"\r\n" + newA;
  }
  void writeAfterADeletionLine() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    writeAll(m_path, kHeader + before);
    SettingsFile file(m_path);
    QVERIFY(!file.value(kKey, QStringLiteral("a")).has_value());
    QVERIFY2(file.setValue(kKey, QStringLiteral("a"), RegValue::fromString(QStringLiteral("new"))),
             qPrintable(file.lastError()));
    QCOMPARE(readAll(m_path), kHeader + after);
    QCOMPARE(file.value(kKey, QStringLiteral("a")), MaybeValue(RegValue::fromString(QStringLiteral("new"))));
    QVERIFY(!file.value(kKey, QStringLiteral("b")).has_value());
  }

  // The program's removal of a value takes all its lines, so that no earlier one comes back, and
  // keeps the deletion lines; a value that a line already deleted leaves the file as it is.
  void removeBesideDeletionLines_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray deleted = kKeyLine + "\"a\"=\"x\"\r\n\"a\"=-\r\n";
    QTest::newRow("deleted by a line") << deleted << deleted;
    const QByteArray keyDeleted = kKeyLine + "\"a\"=\"x\"\r\n\r\n" + kDeleteKeyLine;
    QTest::newRow("deleted with its key") << keyDeleted << keyDeleted;
    QTest::newRow("set again after its deletion") << deleted + "\"a\"=\"y\"\r\n" << kKeyLine + "\"a\"=-\r\n";
  }
  void removeBesideDeletionLines() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    writeAll(m_path, kHeader + before);
    SettingsFile file(m_path);
    QVERIFY2(file.deleteValue(kKey, QStringLiteral("a")), qPrintable(file.lastError()));
    QCOMPARE(readAll(m_path), kHeader + after);
    QVERIFY(!file.value(kKey, QStringLiteral("a")).has_value());
  }

  // [-KEY] takes the key's subkeys with it; its parent and siblings stay, and the program can create
  // it again.
  void keyDeletionTakesItsSubkeys() {
    const QString sheet = kKey + QStringLiteral("\\Sheet");
    const QByteArray before =
        kHeader + kKeyLine + "\"a\"=\"1\"\r\n\r\n" +
        "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\Sheet]\r\n\"Port\"=\"COM1\"\r\n\r\n" +
        "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\Sheet\\Deep]\r\n\"d\"=\"1\"\r\n\r\n" +
        "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\Other]\r\n\r\n" +
        "[-HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\Sheet]\r\n";
    writeAll(m_path, before);
    SettingsFile file(m_path);
    QCOMPARE(file.subKeys(kKey), QStringList{"Other"});
    QVERIFY(!file.keyExists(sheet));
    QVERIFY(!file.keyExists(sheet + QStringLiteral("\\Deep")));
    QVERIFY(!file.value(sheet + QStringLiteral("\\Deep"), QStringLiteral("d")).has_value());
    QCOMPARE(file.valueNames(sheet), QStringList());
    QCOMPARE(file.value(kKey, QStringLiteral("a")).value_or(RegValue()).string, QStringLiteral("1"));

    QVERIFY2(file.createKey(sheet), qPrintable(file.lastError()));
    QVERIFY(file.keyExists(sheet));
    QCOMPARE(file.subKeys(kKey), (QStringList{"Other", "Sheet"}));
    QVERIFY(!file.value(sheet, QStringLiteral("Port")).has_value());
    QVERIFY(readAll(m_path).startsWith(before));
    QVERIFY(file.setValue(sheet, QStringLiteral("Port"), RegValue::fromString(QStringLiteral("COM7"))));
    QCOMPARE(file.value(sheet, QStringLiteral("Port")).value_or(RegValue()).string, QStringLiteral("COM7"));
  }
};

QTEST_GUILESS_MAIN(TestSettingsFileHandWritten)
#include "test_settingsfile_handwritten.moc"
