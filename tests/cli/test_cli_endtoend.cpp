// The built tamberlin-cli against korvane-sim on a pseudo-terminal: ports, find and doctor as a
// script on a test bench runs them.
#include "tests/support/ProgramSandbox.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};

} // namespace

class TestCliEndToEnd : public QObject {
  Q_OBJECT
  std::unique_ptr<ProgramSandbox> m_box;

  bool startGateway(const QStringList &faults) {
    return m_box->startGateway(QStringList{"--idle-exit", "30"} + faults);
  }

  Run cli(const QStringList &arguments) {
    QProcess program;
    program.setProcessEnvironment(m_box->environment());
    program.start(ProgramSandbox::buildDir() + QStringLiteral("/tamberlin-cli"), arguments);
    Run run;
    if (!program.waitForFinished(60000))
      return run;
    run.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    run.out = program.readAllStandardOutput();
    run.err = program.readAllStandardError();
    return run;
  }

private slots:
  void init() { m_box = std::make_unique<ProgramSandbox>(); }
  void cleanup() { m_box.reset(); }

  void portsListsTheGatewaysTerminalAndItsHolder() {
    QVERIFY(startGateway({}));
    const Run run = cli({"ports", "--json"});
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> events = ProgramSandbox::jsonLines(run.out);
    QVERIFY2(!events.isEmpty(), run.out.constData());
    QCOMPARE(events.last()["event"].toString(), QStringLiteral("summary"));
    QJsonObject ours;
    for (const QJsonObject &e : events)
      if (e["port"].toString() == QStringLiteral("COM%1").arg(m_box->port()))
        ours = e;
    QCOMPARE(ours["event"].toString(), QStringLiteral("port"));
    QCOMPARE(ours["present"].toBool(), true);
    QCOMPARE(ours["automatic"].toBool(true), false);
    QVERIFY(ours["target"].toString().startsWith("/dev/pts/"));
    // The simulator keeps its terminal end open.
    const QJsonArray holders = ours["holders"].toArray();
    QVERIFY2(!holders.isEmpty(), run.out.constData());
    QCOMPARE(holders.first()["pid"].toInteger(), m_box->gateway()->processId());
    QCOMPARE(holders.first()["name"].toString(), QStringLiteral("korvane-sim"));
  }

  void findPrintsThePortThatAnswers_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::newRow("answers") << QStringList{} << 0 << QByteArray("COM%1\n") << QByteArray();
    QTest::newRow("silent") << QStringList{"--silent"} << 5 << QByteArray()
                            << QByteArray("no gateway answered on");
  }
  void findPrintsThePortThatAnswers() {
    QFETCH(QStringList, faults);
    QVERIFY(startGateway(faults));
    const Run run = cli({"find"});
    QTEST(run.exitCode, "exitCode");
    QFETCH(QByteArray, out);
    QCOMPARE(run.out, QString::fromLatin1(out).arg(m_box->port()).toLatin1());
    QFETCH(QByteArray, err);
    QVERIFY2(run.err.contains(err), run.err.constData());
  }

  void doctorJudgesTheGatewaysPort() {
    QVERIFY(startGateway({}));
    const Run run = cli({"doctor", "--json"});
    const QList<QJsonObject> events = ProgramSandbox::jsonLines(run.out);
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
      if (e["port"].toString() == QStringLiteral("COM%1").arg(m_box->port()))
        ours << e;
    }
    // This user opened the terminal, so this user may open it; the simulator that holds it is the
    // line's far end, not a rival.
    QCOMPARE(ours.size(), 1);
    QCOMPARE(ours[0]["severity"].toString(), QStringLiteral("ok"));
    const QString farEnd = QStringLiteral("its far end is %1 korvane-sim").arg(m_box->gateway()->processId());
    QVERIFY2(ours[0]["what"].toString().endsWith(farEnd), run.out.constData());
  }
};

QTEST_GUILESS_MAIN(TestCliEndToEnd)
#include "test_cli_endtoend.moc"
