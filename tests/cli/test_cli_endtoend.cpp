// The built tamberlin-cli against korvane-sim on a pseudo-terminal: ports, find and doctor as a
// script on a test bench runs them.
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString buildDir() {
  return qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
}

constexpr quint16 kPort = 7;

struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

// Every line a JSON object with "event"; empty when one is not.
QList<QJsonObject> jsonLines(const QByteArray &out) {
  QList<QJsonObject> objects;
  for (const QByteArray &line : out.split('\n')) {
    if (line.isEmpty())
      continue;
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    if (!doc.isObject() || !doc.object().contains("event"))
      return {};
    objects << doc.object();
  }
  return objects;
}
} // namespace

class TestCliEndToEnd : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<QProcess> m_sim;

  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    return env;
  }

  bool startGateway(const QStringList &faults) {
    m_sim = std::make_unique<QProcess>();
    m_sim->setProcessEnvironment(environment());
    m_sim->start(buildDir() + QStringLiteral("/korvane-sim"),
                 QStringList{"--com", QString::number(kPort), "--idle-exit", "30"} + faults);
    if (!m_sim->waitForStarted(10000))
      return false;
    const QString entry = m_dir->filePath(QStringLiteral("config/Quarnel/ports/com%1").arg(kPort));
    QDeadlineTimer ready(10000);
    while (!QFileInfo::exists(entry) && !ready.hasExpired() && m_sim->state() == QProcess::Running)
      QTest::qWait(20);
    return QFileInfo::exists(entry);
  }

  Run cli(const QStringList &arguments) {
    QProcess program;
    program.setProcessEnvironment(environment());
    program.start(buildDir() + QStringLiteral("/tamberlin-cli"), arguments);
    Run run;
    if (!program.waitForFinished(60000))
      return run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.out = program.readAllStandardOutput();
    run.err = program.readAllStandardError();
    return run;
  }

private slots:
  void init() { m_dir = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    if (m_sim) {
      m_sim->terminate();
      m_sim->waitForFinished(5000);
      m_sim.reset();
    }
    m_dir.reset();
  }

  void portsListsTheGatewaysTerminalAndItsHolder() {
    QVERIFY(startGateway({}));
    const Run run = cli({"ports", "--json"});
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> events = jsonLines(run.out);
    QVERIFY2(!events.isEmpty(), run.out.constData());
    QCOMPARE(events.last()["event"].toString(), QStringLiteral("summary"));
    QJsonObject ours;
    for (const QJsonObject &e : events)
      if (e["port"].toString() == QStringLiteral("COM%1").arg(kPort))
        ours = e;
    QCOMPARE(ours["event"].toString(), QStringLiteral("port"));
    QCOMPARE(ours["present"].toBool(), true);
    QCOMPARE(ours["automatic"].toBool(true), false);
    QVERIFY(ours["target"].toString().startsWith("/dev/pts/"));
    // The simulator keeps its terminal end open.
    const QJsonArray holders = ours["holders"].toArray();
    QVERIFY2(!holders.isEmpty(), run.out.constData());
    QCOMPARE(holders.first()["pid"].toInteger(), m_sim->processId());
    QCOMPARE(holders.first()["name"].toString(), QStringLiteral("korvane-sim"));
  }

  void findPrintsThePortThatAnswers_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("answers") << QStringList{} << 0 << QByteArray("COM7\n") << QByteArray();
    QTest::newRow("silent") << QStringList{"--silent"} << 5 << QByteArray()
                            << QByteArray("no gateway answered on");
  }
  void findPrintsThePortThatAnswers() {
    QFETCH(QStringList, faults);
    QVERIFY(startGateway(faults));
    const Run run = cli({"find"});
    QTEST(run.exitCode, "exitCode");
    QTEST(run.out, "out");
    QFETCH(QByteArray, err);
    QVERIFY2(run.err.contains(err), run.err.constData());
  }

  void doctorJudgesTheGatewaysPort() {
    QVERIFY(startGateway({}));
    const Run run = cli({"doctor", "--json"});
    const QList<QJsonObject> events = jsonLines(run.out);
    QVERIFY2(!events.isEmpty(), run.out.constData());
    const QJsonObject summary = events.last();
    QCOMPARE(summary["event"].toString(), QStringLiteral("summary"));
    QCOMPARE(summary["code"].toInt(-1), run.exitCode);
    QCOMPARE(summary["ok"].toBool(), run.exitCode == 0);
    QList<QJsonObject> ours;
    for (const QJsonObject &e : events.mid(0, events.size() - 1)) {
      QCOMPARE(e["event"].toString(), QStringLiteral("finding"));
      QVERIFY(!e["what"].toString().isEmpty());
      QCOMPARE(e["fix"].isNull(), e["severity"].toString() == QStringLiteral("ok"));
      if (e["port"].toString() == QStringLiteral("COM%1").arg(kPort))
        ours << e;
    }
    // This user opened the terminal, so this user may open it; the simulator that holds it is the
    // line's far end, not a rival.
    QCOMPARE(ours.size(), 1);
    QCOMPARE(ours[0]["severity"].toString(), QStringLiteral("ok"));
    const QString farEnd = QStringLiteral("its far end is %1 korvane-sim").arg(m_sim->processId());
    QVERIFY2(ours[0]["what"].toString().endsWith(farEnd), run.out.constData());
  }
};

QTEST_GUILESS_MAIN(TestCliEndToEnd)
#include "test_cli_endtoend.moc"
