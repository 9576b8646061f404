// Settings file faults: what the writer writes its reader reads back, foreign values survive a
// rewrite, long values cost linear time, and a failed write says why.
#include "platform/RegExportFormat.h"
#include "platform/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
const QString kKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin");
const QByteArray kHead = "Windows Registry Editor Version 5.00\r\n\r\n"
                         "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n";

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
} // namespace

class TestSettingsFileFaults : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;
  QString m_path;

private slots:
  void init() {
    m_path = m_dir.filePath(QStringLiteral("Quarnel/Tamberlin.reg"));
    QFile::remove(m_path);
  }

  // "[ ]" names no key. It was read as the empty path and written back as "[]", which the reader
  // refuses: from then on every setting was lost.
  void keyLineWithoutAKeyStaysReadable() {
    const QByteArray content = kHead + "\"a\"=\"1\"\r\n\r\n[ ]\r\n\"b\"=\"2\"\r\n";
    writeAll(m_path, content);
    SettingsFile file(m_path);
    QVERIFY2(file.setValue(kKey, QStringLiteral("c"), RegValue::fromDword(3)), qPrintable(file.lastError()));
    SettingsFile again(m_path);
    QVERIFY2(again.value(kKey, QStringLiteral("a")).has_value(), qPrintable(again.lastError()));
    QCOMPARE(again.value(kKey, QStringLiteral("c"))->dword, 3u);
    QVERIFY(readAll(m_path).contains("\r\n[ ]\r\n\"b\"=\"2\"\r\n"));
  }

  // Whatever the program is asked to store, the file it leaves reads back the same, or it is not
  // written at all.
  void writerNeverWritesWhatItsReaderRefuses_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("storable");
    QTest::newRow("plain") << kKey << "PortNumber" << true;
    QTest::newRow("quotes and backslashes in the name") << kKey << "a\"b\\" << true;
    QTest::newRow("line break in the name") << kKey << "two\nlines" << false;
    QTest::newRow("line break in the key") << kKey + "\\two\r\nlines"
                                           << "a" << false;
    // UTF-8 cannot carry it: the file is written in UTF-16, as Windows exports it.
    QTest::newRow("lone surrogate in the name") << kKey << QString(QChar(0xd800)) << true;
    QTest::newRow("blank at the end of a key name") << kKey + "\\sheet "
                                                    << "a" << true;
  }
  void writerNeverWritesWhatItsReaderRefuses() {
    QFETCH(QString, key);
    QFETCH(QString, name);
    QFETCH(bool, storable);
    writeAll(m_path, kHead + "\"keep\"=\"me\"\r\n");
    const QByteArray before = readAll(m_path);
    SettingsFile file(m_path);
    QCOMPARE(file.setValue(key, name, RegValue::fromString(QStringLiteral("v"))), storable);
    QCOMPARE(file.lastError().isEmpty(), storable);
    if (storable)
      QCOMPARE(file.value(key, name)->string, QStringLiteral("v"));
    else
      QCOMPARE(readAll(m_path), before);
    QCOMPARE(file.value(kKey, QStringLiteral("keep"))->string, QStringLiteral("me"));
  }

  // Values of other programs survive a rewrite byte for byte, and strings the program stores read
  // back as they were.
  void foreignValuesSurviveARewrite_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("hex(1) with a lone surrogate") << QByteArray("\"a\"=hex(1):00,d8,41,00,00,00");
    QTest::newRow("hex(1) starting with U+FEFF") << QByteArray("\"a\"=hex(1):ff,fe,41,00,00,00");
    QTest::newRow("hex(1) without its final NUL") << QByteArray("\"a\"=hex(1):41,00");
    QTest::newRow("hex(1) of an odd length") << QByteArray("\"a\"=hex(1):41");
    QTest::newRow("hex(1) of two NULs") << QByteArray("\"a\"=hex(1):00,00,00,00");
    QTest::newRow("hex(2) upper case") << QByteArray("\"a\"=hex(2):4A,00,00,00");
    QTest::newRow("string with U+FEFF") << QByteArray("\"a\"=\"\xef\xbb\xbfx\"");
  }
  void foreignValuesSurviveARewrite() {
    QFETCH(QByteArray, line);
    writeAll(m_path, kHead + line + "\r\n");
    SettingsFile file(m_path);
    const std::optional<RegValue> before = file.value(kKey, QStringLiteral("a"));
    QVERIFY2(before.has_value(), qPrintable(file.lastError()));
    QVERIFY(file.setValue(kKey, QStringLiteral("other"), RegValue::fromDword(1)));
    QVERIFY(readAll(m_path).contains("\r\n" + line + "\r\n"));
    QVERIFY(*file.value(kKey, QStringLiteral("a")) == *before);
    // The same value stored by the program reads back the same.
    QFile::remove(m_path);
    QVERIFY(file.setValue(kKey, QStringLiteral("a"), *before));
    QVERIFY(*file.value(kKey, QStringLiteral("a")) == *before);
  }

  // A UTF-16 export may hold lone surrogates where no value can be rewritten from its data: in a key,
  // a name, a line of the user's own. A rewrite in UTF-8 replaced them, changed those keys and names,
  // and the program then refused every write.
  void utf16FileWithALoneSurrogateSurvivesARewrite() {
    const QString lone(QChar(0xdc01));
    const QString text = QStringLiteral("Windows Registry Editor Version 5.00\r\n\r\n; ") + lone +
                         QStringLiteral("\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\") + lone +
                         QStringLiteral("]\r\n\"") + lone + QStringLiteral("\"=\"") + lone +
                         QStringLiteral("\"\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n");
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    writeAll(m_path, bytes);
    SettingsFile file(m_path);
    QVERIFY2(file.setValue(kKey, QStringLiteral("b"), RegValue::fromDword(2)), qPrintable(file.lastError()));
    QCOMPARE(file.value(kKey + QStringLiteral("\\") + lone, lone)->string, lone);
    QCOMPARE(file.value(kKey, QStringLiteral("b"))->dword, 2u);
    const QByteArray written = readAll(m_path);
    QVERIFY(written.startsWith("\xFF\xFE"));
    QVERIFY(written.contains(QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)));
  }

  // Hex data ending in a backslash ends where the next value starts. Removing that value must not
  // let the data run on into the line that moves up to it.
  void removalLeavesTheValueBeforeItAsItReads_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("a continuation line after it")
        << QByteArray("\"a\"=hex:01,\\\r\n\"b\"=dword:1\r\n  02\r\n") << QByteArray("01");
    QTest::newRow("a comment between, a line of text after it")
        << QByteArray("\"a\"=hex:01,\\\r\n; c\r\n\"b\"=dword:1\r\nzz\r\n") << QByteArray("01");
    QTest::newRow("at the end of the file") << QByteArray("\"a\"=hex:\\\r\n\"b\"=hex:") << QByteArray();
  }
  void removalLeavesTheValueBeforeItAsItReads() {
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);
    writeAll(m_path, kHead + body);
    SettingsFile file(m_path);
    QCOMPARE(file.value(kKey, QStringLiteral("a"))->data, QByteArray::fromHex(expected));
    QVERIFY2(file.deleteValue(kKey, QStringLiteral("b")), qPrintable(file.lastError()));
    QCOMPARE(file.value(kKey, QStringLiteral("a"))->data, QByteArray::fromHex(expected));
    QVERIFY(!file.value(kKey, QStringLiteral("b")).has_value());
  }

  void storedStringsReadBack_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("lone high surrogate") << QString(QChar(0xd800)) + QStringLiteral("A");
    QTest::newRow("lone low surrogate") << QStringLiteral("A") + QString(QChar(0xdc00));
    QTest::newRow("leading U+FEFF") << QString(QChar(0xfeff)) + QStringLiteral("A");
    QTest::newRow("NUL inside") << QStringLiteral("A") + QChar(0) + QStringLiteral("B");
    QTest::newRow("surrogate pair") << QString::fromUcs4(U"\U0001F600");
  }
  void storedStringsReadBack() {
    QFETCH(QString, text);
    SettingsFile file(m_path);
    QVERIFY2(file.setValue(kKey, QStringLiteral("a"), RegValue::fromString(text)),
             qPrintable(file.lastError()));
    QVERIFY(file.setValue(kKey, QStringLiteral("b"), RegValue::fromDword(2)));
    QCOMPARE(file.value(kKey, QStringLiteral("a"))->string, text);
  }

  // Continuation lines are joined in linear time: a value of 2 MB in 80 000 lines would take many
  // minutes to read if every line copied what came before it, and every settings access reads.
  void longValueIsReadInLinearTime() {
    QByteArray data(2 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < data.size(); ++i)
      data[i] = char((i * 7) ^ (i >> 9));
    SettingsFile file(m_path);
    QVERIFY(file.setValue(kKey, QStringLiteral("Big"), RegValue::fromBinary(data)));
    QVERIFY(readAll(m_path).count('\n') > 80000);
    QVERIFY(file.setValue(kKey, QStringLiteral("Small"), RegValue::fromDword(1)));
    QCOMPARE(file.value(kKey, QStringLiteral("Big"))->data, data);
  }

  // A write that the system refuses half way (disk full, file size limit) says why, and leaves the
  // file as it was. The size limit stands in for a full disk: both end a write short.
  void failedWriteSaysWhy() {
    writeAll(m_path, kHead + "\"keep\"=\"me\"\r\n");
    const QByteArray before = readAll(m_path);
    int pipeEnds[2];
    QCOMPARE(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{4096, 4096};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      SettingsFile file(m_path);
      const bool ok =
          file.setValue(kKey, QStringLiteral("Big"), RegValue::fromBinary(QByteArray(20000, 'x')));
      const QByteArray error = ok ? QByteArray("written") : file.lastError().toUtf8();
      (void)!::write(pipeEnds[1], error.constData(), size_t(error.size()));
      ::_exit(0);
    }
    ::close(pipeEnds[1]);
    QByteArray error;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
      error.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(error.contains(std::strerror(EFBIG)), error.constData());
    QVERIFY(!error.contains("Unknown error"));
    QCOMPARE(readAll(m_path), before);
  }
};

QTEST_GUILESS_MAIN(TestSettingsFileFaults)
#include "test_settingsfile_faults.moc"
