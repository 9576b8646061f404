// The built tamberlin-cli against korvane-sim on pseudo-terminals, as a production line runs it.
#include "tests/support/ProgramSandbox.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTest>

#include <csignal>
#include <memory>

class TestCliWriteProgram : public QObject {
  Q_OBJECT
  std::unique_ptr<ProgramSandbox> m_box;
  std::unique_ptr<QProcess> m_cli;

  bool startGateway(const QStringList &options) {
    return m_box->startGateway(QStringList{"--out", m_box->path("received.qcs"), "--restart-ms", "300",
                                           "--exit-after-download", "--linger-ms", "2500", "--idle-exit",
                                           "60"} +
                               options);
  }
  QString script(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
      bytes[i] = char((i * 7 + 1) & 0xff);
    const QString path = m_box->path(QStringLiteral("script.qcs"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }
  QProcess *startCli(const QStringList &arguments) {
    m_cli = m_box->start(QStringLiteral("tamberlin-cli"), arguments, m_box->environment());
    return m_cli.get();
  }

private slots:
  void init() { m_box = std::make_unique<ProgramSandbox>(); }
  void cleanup() {
    m_cli.reset();
    m_box.reset();
  }

  // One port with --json: every line one object with "event" (and "port", but the summary), the
  // result written, and the gateway has the script byte for byte.
  void onePortAsJsonLines() {
    QVERIFY(startGateway({}));
    const QString path = script(3000);
    QProcess *cli = startCli({"write", "--json", "--port", QStringLiteral("COM%1").arg(m_box->port()), path});
    QVERIFY(cli->waitForFinished(60000));
    QCOMPARE(cli->exitCode(), 0);
    const QList<QJsonObject> lines = ProgramSandbox::jsonLines(cli->readAllStandardOutput());
    QVERIFY(lines.size() > 3);
    for (int i = 0; i < lines.size(); ++i) {
      QVERIFY(lines.at(i).contains("event"));
      QCOMPARE(lines.at(i).contains("port"), i + 1 < lines.size());
    }
    const QJsonObject summary = lines.last();
    QCOMPARE(summary.value("event").toString(), QStringLiteral("summary"));
    QVERIFY(summary.value("ok").toBool());
    const QJsonObject result = summary.value("results").toArray().at(0).toObject();
    QCOMPARE(result.value("interface").toString(), QStringLiteral("configuration"));
    QCOMPARE(result.value("bytes").toInt(), 3000);
    m_box->gateway()->waitForFinished(10000);
    QCOMPARE(ProgramSandbox::readFile(m_box->path("received.qcs")), ProgramSandbox::readFile(path));
  }

  // Ctrl-C in the data phase: the port is closed and reported interrupted, never written.
  void interruptInTheDataPhase() {
    QVERIFY(startGateway({"--pace"}));
    QProcess *cli = startCli({"write", "--json", "--port", QString::number(m_box->port()), script(16384)});
    QByteArray output;
    QDeadlineTimer limit(30000);
    while (!output.contains("\"event\":\"progress\"") && !limit.hasExpired() &&
           cli->state() == QProcess::Running) {
      cli->waitForReadyRead(200);
      output += cli->readAllStandardOutput();
    }
    QVERIFY2(output.contains("\"event\":\"progress\""), output.constData());
    ::kill(pid_t(cli->processId()), SIGINT);
    QVERIFY(cli->waitForFinished(10000));
    QCOMPARE(cli->exitCode(), 8);
    output += cli->readAllStandardOutput();
    const QList<QJsonObject> lines = ProgramSandbox::jsonLines(output);
    QVERIFY(!lines.isEmpty());
    const QJsonObject result = lines.last().value("results").toArray().at(0).toObject();
    QCOMPARE(result.value("ok").toBool(), false);
    QCOMPARE(result.value("code").toInt(), 8);
    QCOMPARE(result.value("message").toString(), QStringLiteral("interrupted"));
    // The search had told the interface apart before the data began.
    QCOMPARE(result.value("interface").toString(), QStringLiteral("configuration"));
    // The port is free again: the lock went with the program.
    QVERIFY(QFileInfo::exists(m_box->path(QStringLiteral("config/Quarnel/ports/com%1").arg(m_box->port()))));
  }

  void errorsBeforeAnyPort_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::newRow("usage") << QStringList{"write"} << 2;
    QTest::newRow("missing script") << QStringList{"write", "--port", "3", "/nonexistent/x.qcs"} << 3;
    QTest::newRow("no stored port") << QStringList{"write", "SCRIPT"} << 4;
  }
  void errorsBeforeAnyPort() {
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    arguments.replaceInStrings(QStringLiteral("SCRIPT"), script(10));
    QProcess *cli = startCli(arguments);
    QVERIFY(cli->waitForFinished(10000));
    QCOMPARE(cli->exitCode(), code);
    QVERIFY(!cli->readAllStandardError().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestCliWriteProgram)
#include "test_cliwrite_program.moc"
