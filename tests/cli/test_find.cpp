// tamberlin-cli find against simulated gateways in virtual time: the present ports of the port
// map are probed in order, the first that answers is the result, and none gives exit code 5.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/PortSearchRun.h"
#include "cli/linux/PortFacts.h"
#include "gateway/GatewayProtocol.h"
#include "serialport/SerialPortErrors.h"
#include "station/ExitCodes.h"

#include "tests/cli/FakeSystem.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QTest>

class TestFind : public QObject {
  Q_OBJECT
  std::unique_ptr<FakeSystem> sys;
  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<SimPorts> ports;

  // Entries COM1, COM2 and COM4 lead to devices; COM6 leads nowhere; COM1, COM2, COM4 and COM6
  // have lines (COM6's would answer if it were probed).
  void fourEntries() {
    for (quint16 n : {1, 2, 4}) {
      QVERIFY(sys->write(QStringLiteral("dev/ttyV%1").arg(n)));
      QVERIFY(sys->entry(n, sys->path(QStringLiteral("dev/ttyV%1").arg(n))));
      ports->line(n);
    }
    QVERIFY(sys->entry(6, sys->path("dev/ttyV6")));
    ports->gateway(6);
  }

private slots:
  void init() {
    sys = std::make_unique<FakeSystem>();
    clock = std::make_unique<VirtualClock>();
    ports = std::make_unique<SimPorts>();
  }
  void cleanup() {
    ports.reset();
    clock.reset();
    sys.reset();
  }

  void itemsArePresentPortsAscending() {
    fourEntries();
    QCOMPARE(presentPortItems(PortMap()), (QStringList{"COM1", "COM2", "COM4"}));
  }

  void firstPortThatAnswers_data() {
    QTest::addColumn<int>("gatewayOn");
    QTest::addColumn<int>("heldPort");
    QTest::addColumn<bool>("lowerCase");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("silentPorts"); // probed without an answer
    QTest::addColumn<int>("exitCode");
    QTest::newRow("on the last present port") << 4 << 0 << false << 4 << 2 << ExitCode::Written;
    QTest::newRow("answers in small letters") << 2 << 0 << true << 2 << 1 << ExitCode::Written;
    QTest::newRow("behind a held port") << 4 << 1 << false << 4 << 1 << ExitCode::Written;
    QTest::newRow("none answers") << 0 << 0 << false << -1 << 3 << ExitCode::NoGateway;
  }
  void firstPortThatAnswers() {
    QFETCH(int, gatewayOn);
    QFETCH(int, heldPort);
    QFETCH(bool, lowerCase);
    fourEntries();
    if (gatewayOn) {
      KorvaneSim::Config config;
      config.faults.lowerCase = lowerCase;
      ports->gateway(quint16(gatewayOn), config);
    }
    if (heldPort)
      ports->line(quint16(heldPort)).heldByOther = true;
    const quint64 started = clock->nowMs();

    const PortSearchRun run = searchGatewayPort(presentPortItems(PortMap()));

    QTEST(run.found, "found");
    // Each silent port costs the answer limit; a port that does not open costs nothing.
    QFETCH(int, silentPorts);
    const quint64 silent = quint64(silentPorts);
    QVERIFY(clock->nowMs() - started >= silent * Gateway::ProbeMs);
    QVERIFY(clock->nowMs() - started < (silent + 1) * Gateway::ProbeMs);
    QVERIFY(ports->line(6).received().isEmpty());
    if (heldPort) {
      QCOMPARE(run.problems.size(), 1);
      QCOMPARE(run.problems[0].port, QStringLiteral("COM%1").arg(heldPort));
      QCOMPARE(run.problems[0].code, SerialError::AlreadyOpen);
    } else {
      QVERIFY(run.problems.isEmpty());
    }
    // The command closes the port it found: the line is free for the next program.
    for (quint16 n : {1, 2, 4})
      QVERIFY(!ports->line(n).isOpen());

    CliOptions options;
    options.command = CliOptions::Command::Find;
    QTEST(runFind(options), "exitCode");
  }

  void emptyMapFindsNothing() {
    QVERIFY(presentPortItems(PortMap()).isEmpty());
    CliOptions options;
    options.command = CliOptions::Command::Find;
    options.json = true;
    QCOMPARE(runFind(options), ExitCode::NoGateway);
  }
};

QTEST_GUILESS_MAIN(TestFind)
#include "test_find.moc"
