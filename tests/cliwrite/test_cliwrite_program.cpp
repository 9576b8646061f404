// The built tamberlin-cli against korvane-sim on pseudo-terminals, as a production line runs it.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
QString buildDir() {
  return qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QJsonObject> jsonLines(const QByteArray &output) {
  QList<QJsonObject> objects;
  for (const QByteArray &line : output.split('\n')) {
    if (line.isEmpty())
      continue;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
      return {}; // every line must be one object
    objects << doc.object();
  }
  return objects;
}
} // namespace

class TestCliWriteProgram : public QObject {
  Q_OBJECT
  QTemporaryDir *m_dir = nullptr;
  QProcess *m_sim = nullptr;
  quint16 m_port = 0;

  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    return env;
  }
  bool startGateway(const QStringList &options) {
    m_sim = new QProcess(this);
    m_sim->setProcessEnvironment(environment());
    m_sim->setProcessChannelMode(QProcess::MergedChannels);
    m_sim->start(buildDir() + QStringLiteral("/korvane-sim"),
                 QStringList{"--com", QString::number(m_port), "--out", m_dir->filePath("received.qcs"),
                             "--restart-ms", "300", "--exit-after-download", "--linger-ms", "2500",
                             "--idle-exit", "60"} +
                     options);
    if (!m_sim->waitForStarted(10000))
      return false;
    const QString entry = m_dir->filePath(QStringLiteral("config/Quarnel/ports/com%1").arg(m_port));
    QDeadlineTimer ready(10000);
    while (!QFileInfo::exists(entry) && !ready.hasExpired() && m_sim->state() == QProcess::Running)
      QTest::qWait(20);
    return QFileInfo::exists(entry);
  }
  QString script(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
      bytes[i] = char((i * 7 + 1) & 0xff);
    const QString path = m_dir->filePath(QStringLiteral("script.qcs"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }
  QProcess *startCli(const QStringList &arguments) {
    auto *cli = new QProcess(this);
    cli->setProcessEnvironment(environment());
    cli->start(buildDir() + QStringLiteral("/tamberlin-cli"), arguments);
    cli->waitForStarted(10000);
    return cli;
  }

private slots:
  void init() {
    m_dir = new QTemporaryDir;
    // Two digits of this process's own, so parallel runs rarely meet.
    m_port = quint16(10 + QCoreApplication::applicationPid() % 89);
  }
  void cleanup() {
    if (m_sim) {
      m_sim->terminate();
      m_sim->waitForFinished(5000);
      delete m_sim;
      m_sim = nullptr;
    }
    delete m_dir;
  }

  // One port with --json: every line one object with "event" (and "port", but the summary), the
  // result written, and the gateway has the script byte for byte.
  void onePortAsJsonLines() {
    QVERIFY(startGateway({}));
    const QString path = script(3000);
    QProcess *cli = startCli({"write", "--json", "--port", QStringLiteral("COM%1").arg(m_port), path});
    QVERIFY(cli->waitForFinished(60000));
    QCOMPARE(cli->exitCode(), 0);
    const QList<QJsonObject> lines = jsonLines(cli->readAllStandardOutput());
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
    m_sim->waitForFinished(10000);
    QCOMPARE(readFile(m_dir->filePath("received.qcs")), readFile(path));
  }

  // Ctrl-C in the data phase: the port is closed and reported interrupted, never written.
  void interruptInTheDataPhase() {
    QVERIFY(startGateway({"--pace"}));
    QProcess *cli = startCli({"write", "--json", "--port", QString::number(m_port), script(16384)});
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
    const QList<QJsonObject> lines = jsonLines(output);
    QVERIFY(!lines.isEmpty());
    const QJsonObject result = lines.last().value("results").toArray().at(0).toObject();
    QCOMPARE(result.value("ok").toBool(), false);
    QCOMPARE(result.value("code").toInt(), 8);
    QCOMPARE(result.value("message").toString(), QStringLiteral("interrupted"));
    // The port is free again: the lock went with the program.
    QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("config/Quarnel/ports/com%1").arg(m_port))));
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
