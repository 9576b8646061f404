// Messages of unattended runs as a file or a pipe receives them: every character arrives, however
// the machine's code pages are set (on Windows an ANSI code page cannot hold "Привет" or "✓", and
// "ö" would arrive as a byte that no UTF-8 reader takes).
#include "platform/Terminal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

class TestTerminal : public QObject {
  Q_OBJECT
private slots:
  void fileGetsEveryCharacterAsUtf8_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << QStringLiteral("tamberlin-cli: COM5: no gateway answered\n");
    QTest::newRow("Latin") << QStringLiteral("File C:\\Users\\Jörg\\Zähler.qcs does not exist.\n");
    QTest::newRow("beyond any one code page") << QStringLiteral("Привет ✓ 𝄞 Jörg\n");
  }
  void fileGetsEveryCharacterAsUtf8() {
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stderr.txt"));
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "wb");
    QVERIFY(file);
    writeText(file, text);
    writeText(file, text);
    std::fclose(file);

    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), text.toUtf8() + text.toUtf8());
  }
};

QTEST_GUILESS_MAIN(TestTerminal)
#include "test_terminal.moc"
