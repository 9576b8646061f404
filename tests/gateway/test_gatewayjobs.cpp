// "Write Script" as the gateway layer runs it, without windows: the search, the decision and the
// downloads on lines of simulated gateways, several at once in one thread, in virtual time.
#include "gateway/GatewayLink.h"
#include "gateway/GatewayProtocol.h"
#include "gateway/ScriptFile.h"
#include "gateway/WriteScriptJob.h"
#include "serialport/TSerialPort.h"

#include "tests/support/ScriptSum.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
// What a front end would show: every outcome and question, in order.
class RecordingReport : public GatewayReport {
public:
  QList<Outcome> outcomes;
  QStringList questions;
  QStringList logged;
  bool answer = false;
  qint64 lastDone = -1;
  qint64 total = -1;
  std::function<void()> onOutcome;
  std::function<void()> onQuestion;

  void logLine(const QString &text) override { logged << text; }
  bool question(const QString &text) override {
    questions << text;
    if (onQuestion)
      onQuestion();
    return answer;
  }
  void progress(qint64 done, qint64 all) override {
    lastDone = done;
    total = all;
  }
  void outcome(const Outcome &o) override {
    outcomes << o;
    if (onOutcome)
      onOutcome();
  }
};

// One line: its port, its link and the job that writes the script.
struct Station {
  TSerialPort port;
  RecordingReport report;
  std::unique_ptr<GatewayLink> link;
  std::unique_ptr<WriteScriptJob> job;
  Task<bool> run;

  Station(quint16 com, const QString &script) {
    port.SetPromptForPort(false);
    port.SetComNumber(com);
    port.SetBaud(9600);
    port.SetOnErrorEvent([](TSerialPort *, qint32) {});
    port.SetOpen(true);
    link = std::make_unique<GatewayLink>(&port);
    link->setReport(&report);
    link->attach();
    job = std::make_unique<WriteScriptJob>(*link, script, QStringLiteral("COM%1").arg(com));
    run = job->run();
    run.start();
  }
};

QByteArray pattern(int size, int seed) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i)
    bytes[i] = char((i * 13 + seed) & 0xff);
  return bytes;
}

} // namespace

class TestGatewayJobs : public QObject {
  Q_OBJECT
  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<SimPorts> ports;
  QTemporaryDir dir;

  QString script(const QByteArray &bytes, const QString &name) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    return path;
  }
  SimGateway &gateway(quint16 com, KorvaneSim::Mode mode, KorvaneSim::Faults faults = {}) {
    KorvaneSim::Config config;
    config.mode = mode;
    config.faults = faults;
    config.restartMs = 1500;
    SimGateway &g = ports->gateway(com, config);
    ports->line(com).bytesPerSecond = 960;
    return g;
  }

private slots:
  void init() {
    clock = std::make_unique<VirtualClock>();
    ports = std::make_unique<SimPorts>();
  }
  void cleanup() {
    ports.reset();
    clock.reset();
  }

  // Two gateways, one on each interface, written at the same time: both get every byte, and the
  // shorter transfer ends while the longer one is in the middle of its data.
  void twoScriptsIntoTwoGatewaysAtOnce() {
    SimGateway &config = gateway(3, KorvaneSim::Mode::Config);
    SimGateway &debug = gateway(4, KorvaneSim::Mode::Debug);
    const QByteArray first = pattern(3000, 1);
    const QByteArray second = pattern(2500, 7);
    Station a(3, script(first, "a.qcs"));
    Station b(4, script(second, "b.qcs"));
    qsizetype configHadWhenDebugEnded = -1;
    b.report.onOutcome = [&] { configHadWhenDebugEnded = config.sim().lastDownload().script.size(); };
    QVERIFY(clock->runUntil([&] { return a.run.finished() && b.run.finished(); }, 120000));

    QVERIFY(a.run.result());
    QVERIFY(b.run.result());
    QCOMPARE(a.report.outcomes.size(), 1);
    QCOMPARE(b.report.outcomes.size(), 1);
    QCOMPARE(a.report.outcomes.at(0).writeReady, std::optional<quint32>(Gateway::WriteResult::Success));
    QCOMPARE(b.report.outcomes.at(0).writeReady, std::optional<quint32>(Gateway::WriteResult::Success));
    QVERIFY(config.sim().lastDownload().script == first);
    QVERIFY(config.sim().lastDownload().matches());
    QVERIFY(debug.sim().lastDownload().script == second);
    QVERIFY(debug.sim().lastDownload().matches());

    // Byte for byte on the wire, after each search.
    const QByteArray toConfig = ports->line(3).received();
    const QByteArray hex = first.toHex().toUpper() + '\n' +
                           QByteArray::number(scriptSum(first), 16).toUpper().rightJustified(4, '0') + '\n';
    QVERIFY(toConfig.mid(toConfig.indexOf('\x10') + 1, hex.size()) == hex);
    const QByteArray toDebug = ports->line(4).received();
    QByteArray frame("\x44", 1);
    frame.append(char(second.size() >> 8)).append(char(second.size() & 0xff)).append(second);
    frame.append(char(scriptSum(second) >> 8)).append(char(scriptSum(second) & 0xff));
    QVERIFY(toDebug.mid(toDebug.indexOf('\x44')) == frame);

    QCOMPARE(a.report.lastDone, qint64(first.size()));
    QCOMPARE(b.report.lastDone, qint64(second.size()));
    QVERIFY2(configHadWhenDebugEnded > 0 && configHadWhenDebugEnded < first.size(),
             qPrintable(QString::number(configHadWhenDebugEnded)));
  }

  // The search's own endings: one outcome each, no result code for the main window, no download.
  void searchEndingsWithoutDownload_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("questions");
    QTest::newRow("nothing answers") << int(KorvaneSim::Mode::Config) << true
                                     << int(GatewayReport::Failure::NoGateway) << "No data received," << 1;
    QTest::newRow("debug interface in configuration mode")
        << int(KorvaneSim::Mode::DebugConfig) << false << int(GatewayReport::Failure::DebugConfigMode)
        << "Device connected to debug but started in configuration mode!" << 0;
  }
  void searchEndingsWithoutDownload() {
    QFETCH(int, mode);
    QFETCH(bool, silent);
    KorvaneSim::Faults faults;
    faults.silent = silent;
    SimGateway &g = gateway(5, KorvaneSim::Mode(mode), faults);
    Station s(5, script(pattern(10, 0), "c.qcs"));
    s.report.answer = true;
    const quint64 start = clock->nowMs();
    QVERIFY(clock->runUntil([&] { return s.run.finished(); }, 60000));
    QVERIFY(!s.run.result());
    QCOMPARE(s.report.outcomes.size(), 1);
    QFETCH(int, failure);
    QCOMPARE(int(s.report.outcomes.at(0).failure), failure);
    QVERIFY(!s.report.outcomes.at(0).writeReady);
    QFETCH(QString, message);
    QVERIFY(s.report.outcomes.at(0).message.startsWith(message));
    QFETCH(int, questions);
    QCOMPARE(s.report.questions.size(), questions);
    QCOMPARE(g.sim().downloadsStarted(), 0);
    if (silent) // 10 s of search, 10 s after the prompt
      QVERIFY(clock->nowMs() - start >= 20000 && clock->nowMs() - start < 21000);
  }

  // A debug interface's block that comes near the end of the search is answered before the
  // restart prompt and before the prompt's 0x14: the gateway sees its "O" first.
  void debugAnswerGoesOutBeforeTheRestartPrompt_data() {
    QTest::addColumn<int>("blockAtMs"); // after the first 0x14; the search ends at 10300 ms
    QTest::newRow("in the last pause, answer due inside it") << 10150;
    QTest::newRow("in the last 100 ms, answer due after the search") << 10250;
  }
  void debugAnswerGoesOutBeforeTheRestartPrompt() {
    QFETCH(int, blockAtMs);
    SimLine &line = ports->line(6);
    bool answeredAtQuestion = false;
    connect(&line, &SimLine::bytesFromProgram, this, [&](const QByteArray &bytes) {
      if (line.received().size() == bytes.size()) // the search's first byte
        line.send(QByteArray("\0\x01\x02", 3), blockAtMs);
    });
    Station s(6, script(pattern(10, 0), "d.qcs"));
    s.report.answer = true;
    s.report.onQuestion = [&] {
      answeredAtQuestion = s.link->DebugReceived && !s.link->debugAnswerPending();
    };
    QVERIFY(clock->runUntil([&] { return s.run.finished(); }, 60000));

    QCOMPARE(s.report.questions.size(), 1);
    QVERIFY(answeredAtQuestion);
    const QByteArray wire = line.received();
    QCOMPARE(wire.count(char(Gateway::DebugAnswer)), 1);
    QCOMPARE(wire.mid(wire.indexOf(char(Gateway::DebugAnswer))),
             QByteArray() + char(Gateway::DebugAnswer) + char(Gateway::TestGateway));
    QCOMPARE(s.report.outcomes.size(), 1);
  }

  // Qt names files with "/" on every system; the user knows them by the system's separators, and
  // every message and log line names them so, however the path was given.
  void scriptPathsAreShownWithTheSystemsSeparators_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("size"); // -1: no file
    QTest::addColumn<QString>("message");
    QTest::newRow("configuration interface, no file")
        << int(KorvaneSim::Mode::Config) << -1 << "File %1 does not exist!";
    QTest::newRow("configuration interface, too large")
        << int(KorvaneSim::Mode::Config) << int(Gateway::MaxScriptSize) + 1 << "File %1 has 65537 bytes;";
    QTest::newRow("debug interface, no file")
        << int(KorvaneSim::Mode::Debug) << -1 << "File %1 does not exist!";
    QTest::newRow("debug interface, too large")
        << int(KorvaneSim::Mode::Debug) << int(Gateway::MaxScriptSize) << "File %1 has 65536 bytes;";
  }
  void scriptPathsAreShownWithTheSystemsSeparators() {
    QFETCH(int, mode);
    QFETCH(int, size);
    QFETCH(QString, message);
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("line 4")));
    const QString path = size < 0 ? dir.filePath(QStringLiteral("line 4/gone.qcs"))
                                  : script(pattern(size, 3), QStringLiteral("line 4/big.qcs"));
    const QString shown = QDir::toNativeSeparators(path);
    gateway(7, KorvaneSim::Mode(mode));
    Station s(7, path);
    s.report.answer = true;
    QVERIFY(clock->runUntil([&] { return s.run.finished(); }, 60000));

    QCOMPARE(s.report.outcomes.size(), 1);
    QVERIFY2(s.report.outcomes.at(0).message.startsWith(message.arg(shown)),
             qPrintable(s.report.outcomes.at(0).message));
    if (shown != path) {
      QVERIFY(!s.report.outcomes.at(0).message.contains(path));
      for (const QString &line : std::as_const(s.report.logged))
        QVERIFY2(!line.contains(path), qPrintable(line));
    }
    // The check a front end makes before it starts.
    QVERIFY(ScriptFile::problem(path, Gateway::MaxDebugScriptSize).startsWith(message.arg(shown)));
  }
};

QTEST_GUILESS_MAIN(TestGatewayJobs)
#include "test_gatewayjobs.moc"
