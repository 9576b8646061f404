// korvane-sim as a program: its command line, and a download through a real pseudo-terminal
// with TSerialPort at the other end. Waits are real but end when the awaited thing happens.
#include "platform/Clock.h"
#include "platform/linux/PortMap.h"
#include "serialport/TSerialPort.h"

#include "tests/support/CollectReceived.h"
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace {
template <class Pred> bool waitFor(Pred done, int limitMs = 5000) {
  Clock &clock = Clock::instance();
  const quint64 deadline = clock.nowMs() + quint64(limitMs);
  while (!done() && clock.nowMs() < deadline)
    clock.waitForEvents(qMin(deadline, clock.nowMs() + 5));
  return done();
}

QString simProgram() {
  return QString::fromLocal8Bit(qgetenv("TAMBERLIN_BUILD_DIR")) + QStringLiteral("/korvane-sim");
}
} // namespace

class TestKorvaneSimProgram : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp;
  PortMap::Roots m_roots;

  // Starts the simulator on COM n with the test's port folder and waits until it is ready.
  bool startSim(QProcess &sim, quint16 n, const QStringList &extra) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.filePath(QStringLiteral("config")));
    sim.setProcessEnvironment(env);
    sim.start(simProgram(), QStringList{QStringLiteral("--com"), QString::number(n)} + extra);
    return sim.waitForStarted() && sim.waitForReadyRead(5000) && sim.readLine().contains("ready");
  }

private slots:
  void initTestCase() {
    QVERIFY(QFile::exists(simProgram()));
    m_roots = {m_tmp.filePath(QStringLiteral("config/Quarnel/ports")), m_tmp.filePath(QStringLiteral("dev")),
               m_tmp.filePath(QStringLiteral("sys"))};
    QDir().mkpath(m_roots.dev);
    PortMap::setRootsOverride(m_roots);
  }
  void cleanupTestCase() { PortMap::setRootsOverride(std::nullopt); }

  void badOptionsGiveUsageAndExitCode2_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("unknown option") << QStringList{"--com", "5", "--bogus"};
    QTest::newRow("no port") << QStringList{"--mode", "debug"};
    QTest::newRow("port without number") << QStringList{"--com"};
    QTest::newRow("port 0") << QStringList{"--com", "0"};
    QTest::newRow("port not a number") << QStringList{"--com", "COM5"};
    QTest::newRow("unknown mode") << QStringList{"--com", "5", "--mode", "fast"};
    QTest::newRow("first dot not 64 or 96") << QStringList{"--com", "5", "--first-dot", "80"};
    QTest::newRow("negative restart time") << QStringList{"--com", "5", "--restart-ms", "-1"};
  }
  void badOptionsGiveUsageAndExitCode2() {
    QFETCH(QStringList, arguments);
    QProcess sim;
    sim.start(simProgram(), arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 2);
    const QByteArray err = sim.readAllStandardError();
    QVERIFY(err.contains("Usage: korvane-sim"));
    QVERIFY(err.startsWith("korvane-sim: "));
    QVERIFY(sim.readAllStandardOutput().isEmpty());
  }

  void helpGoesToStandardOutput() {
    QProcess sim;
    sim.start(simProgram(), {QStringLiteral("--help")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(sim.readAllStandardOutput().contains("--vanish-at"));
  }

  void takenPortIsRefused() {
    PortMap map;
    QVERIFY(map.publish(33, QStringLiteral("/dev/null")));
    QProcess sim;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_tmp.filePath(QStringLiteral("config")));
    sim.setProcessEnvironment(env);
    sim.start(simProgram(), {QStringLiteral("--com"), QStringLiteral("33")});
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 1);
    QVERIFY(sim.readAllStandardError().contains("COM33"));
    QCOMPARE(map.resolve(33).target, QStringLiteral("/dev/null")); // left as it was
  }

  // A debug-port download through the program; SIGTERM ends it, the entry goes, the summary and
  // the script file tell what arrived.
  void debugDownloadOverAPseudoTerminal() {
    const QString out = m_tmp.filePath(QStringLiteral("script.bin"));
    QProcess sim;
    QVERIFY(startSim(sim, 31, {"--mode", "debug", "--out", out}));
    QVERIFY(ProbeComPort(31));

    TSerialPort port;
    port.SetPromptForPort(false);
    port.SetComNumber(31);
    QByteArray text;
    port.SetOnTriggerAvail(collectInto(text));
    port.SetOpen(true);
    QVERIFY(port.Open());
    port.PutChar(0x14);
    QVERIFY(waitFor([&] { return text.startsWith('\0'); }));
    port.PutChar('O');
    QVERIFY(waitFor([&] { return text.contains("I00000000000000"); }));

    QByteArray script;
    quint16 sum = 0;
    for (int i = 0; i < 300; ++i) {
      script.append(char(i * 7));
      sum = quint16(sum + quint8(i * 7));
    }
    text.clear();
    QByteArray frame("\x44", 1);
    frame.append(char(script.size() >> 8)).append(char(script.size() & 0xff)).append(script);
    frame.append(char(sum >> 8)).append(char(sum & 0xff));
    port.PutString(frame);
    QVERIFY(waitFor([&] { return text.contains('O'); }));
    QCOMPARE(text.count('.'), 1 + 2 + 1); // after the length, at 96 and 224, after the last byte

    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    const QByteArray summary = sim.readAllStandardOutput();
    QVERIFY2(summary.contains("COM31") && summary.contains("match"), summary.constData());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), script);
    QCOMPARE(PortMap().resolve(31).state, PortMap::State::NoEntry);
  }

  // Paced at 9600 8N1, 103 bytes take about 107 ms to be read.
  void pacingTakesLineTime() {
    QProcess sim;
    QVERIFY(startSim(sim, 34, {"--pace", "--restart-ms", "0"}));
    TSerialPort port;
    port.SetPromptForPort(false);
    port.SetComNumber(34);
    QByteArray text;
    port.SetOnTriggerAvail(collectInto(text));
    port.SetOpen(true);
    QVERIFY(port.Open());
    QByteArray hex;
    quint16 sum = 0;
    for (int i = 0; i < 48; ++i) {
      hex += QByteArray::number(0x10 + i, 16).toUpper();
      sum = quint16(sum + 0x10 + i);
    }
    const QByteArray download =
        "\x10" + hex + "\n" + QByteArray::number(sum, 16).rightJustified(4, '0').toUpper() + "\n";
    QCOMPARE(download.size(), 103);
    const quint64 start = Clock::instance().nowMs();
    port.PutString(download);
    QVERIFY(waitFor([&] { return text.contains("Restart"); }));
    QVERIFY(Clock::instance().nowMs() - start >= 100);
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));
    QVERIFY(sim.readAllStandardOutput().contains("match"));
  }

  // The port vanishes at a chosen byte and comes back; the component reports it once.
  void vanishingPortComesBack() {
    QProcess sim;
    QVERIFY(startSim(
        sim, 32, {"--vanish-at", "1", "--vanish-for", "100", "--exit-after-download", "--linger-ms", "0"}));
    TSerialPort port;
    port.SetPromptForPort(false);
    QList<qint32> errors;
    port.SetOnErrorEvent([&](TSerialPort *, qint32 code) { errors << code; });
    port.SetComNumber(32);
    port.SetOpen(true);
    QVERIFY(port.Open());
    port.PutChar(0x14);
    QVERIFY(waitFor([&] { return !errors.isEmpty(); }));
    port.SetOpen(false);
    QVERIFY(waitFor([] { return ProbeComPort(32); }));
    port.SetOpen(true);
    QVERIFY(port.Open());
    QCOMPARE(errors, QList<qint32>{SerialError::DeviceRead});

    // The run ends by itself after a complete download.
    QByteArray text;
    port.SetOnTriggerAvail(collectInto(text));
    port.PutString(QByteArray("\x10"
                              "0102\n0003\n"));
    QVERIFY(waitFor([&] { return text.contains("Restart"); }));
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitCode(), 0);
    QCOMPARE(PortMap().resolve(32).state, PortMap::State::NoEntry);
  }
};

QTEST_GUILESS_MAIN(TestKorvaneSimProgram)
#include "test_korvanesim_program.moc"
