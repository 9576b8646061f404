// The search for the gateway's port as an engine: receive events and its answer timer drive it,
// virtual time measures it, and the port's own receive handler is back when it reports.
#include "gateway/GatewayProtocol.h"
#include "gateway/PortSearch.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include "tests/support/CollectReceived.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QTest>

class TestPortSearchEngine : public QObject {
  Q_OBJECT
  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<SimPorts> ports;
  std::unique_ptr<TSerialPort> port;
  std::unique_ptr<PortSearch> search;
  QByteArray ownerReceived;
  QList<qint32> errors;
  QList<qint32> results;

  void runSearch(const QStringList &items) {
    QVERIFY(search->start(items, [this](qint32 n) { results << n; }));
    clock->runUntil([this] { return !results.isEmpty(); }, 10000);
  }

private slots:
  void init() {
    clock = std::make_unique<VirtualClock>();
    ports = std::make_unique<SimPorts>();
    port = std::make_unique<TSerialPort>();
    port->SetPromptForPort(false);
    port->SetAutoOpen(false);
    port->SetBaud(9600);
    port->SetOnTriggerAvail(collectInto(ownerReceived));
    port->SetOnErrorEvent([this](TSerialPort *, qint32 code) { errors << code; });
    search = std::make_unique<PortSearch>(port.get());
    ownerReceived.clear();
    errors.clear();
    results.clear();
  }
  void cleanup() {
    search.reset();
    port.reset();
    ports.reset();
    clock.reset();
  }

  void probesEachPortUntilOneAnswers_data() {
    QTest::addColumn<int>("gatewayOn");
    QTest::addColumn<bool>("lowerCase");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("probedPorts");
    QTest::newRow("OK on the third port") << 4 << false << 4 << 3;
    QTest::newRow("ok on the third port") << 4 << true << 4 << 3;
    QTest::newRow("on the first port") << 1 << false << 1 << 1;
    QTest::newRow("no gateway") << 0 << false << -1 << 4;
  }
  void probesEachPortUntilOneAnswers() {
    QFETCH(int, gatewayOn);
    QFETCH(bool, lowerCase);
    QFETCH(int, found);
    QFETCH(int, probedPorts);
    for (quint16 n : {1, 2, 4, 7})
      ports->line(n);
    if (gatewayOn > 0) {
      KorvaneSim::Config config;
      config.faults.lowerCase = lowerCase;
      ports->gateway(quint16(gatewayOn), config);
    }
    const quint64 started = clock->nowMs();

    runSearch({"COM1", "COM2", "COM4", "COM7"});

    QCOMPARE(results, QList<qint32>{found});
    int probed = 0;
    for (quint16 n : {1, 2, 4, 7}) {
      probed += ports->line(n).received().startsWith('\x14') ? 1 : 0;
      QCOMPARE(ports->line(n).isOpen(), n == (found > 0 ? found : 7));
    }
    QCOMPARE(probed, probedPorts);
    // Ports without an answer cost the answer limit each, nothing more.
    const quint64 silentPorts = quint64(found > 0 ? probedPorts - 1 : probedPorts);
    QVERIFY(clock->nowMs() - started >= silentPorts * Gateway::ProbeMs);
    QVERIFY(clock->nowMs() - started < (silentPorts + 1) * Gateway::ProbeMs);
    QVERIFY(!search->running());
  }

  // The result comes once; afterwards the port's own handler gets the bytes again.
  void ownHandlerIsBackAfterTheResult() {
    ports->gateway(2);
    runSearch({"COM2"});
    ports->line(2).send("late");
    clock->advance(5000);
    QCOMPARE(results, QList<qint32>{2});
    QVERIFY(ownerReceived.contains("late"));
    QVERIFY(!search->StrWaitBuffer.contains("LATE"));
  }

  void receivedTextIsCollectedUpperCased() {
    ports->line(3);
    QVERIFY(search->start({"COM3"}, [this](qint32 n) { results << n; }));
    ports->line(3).send("ok!");
    clock->advance(50);
    QCOMPARE(search->StrWaitBuffer, QByteArray("OK!"));
    QCOMPARE(results, QList<qint32>{3});
  }

  // Items that name no usable port and ports that do not open move the search on.
  void unusableItemsAreSkipped() {
    ports->line(3).heldByOther = true;
    ports->gateway(5);
    runSearch({"COMX", "COM0", "COM3", "COM9", "COM5"});
    QCOMPARE(results, QList<qint32>{5});
    QVERIFY(errors.contains(SerialError::AlreadyOpen));
    QVERIFY(errors.contains(SerialError::BadId));
    // A port that did not open gets no probe byte, so no "not open" failure follows.
    QVERIFY(!errors.contains(SerialError::NotOpen));
  }

  void aSecondStartWhileRunningIsRefused() {
    ports->line(1);
    ports->gateway(2);
    QVERIFY(search->start({"COM1", "COM2"}, [this](qint32 n) { results << n; }));
    QList<qint32> second;
    QVERIFY(!search->start({"COM2"}, [&second](qint32 n) { second << n; }));
    clock->advance(1000);
    QCOMPARE(results, QList<qint32>{2});
    QVERIFY(second.isEmpty());
    ports->line(2).send("again");
    clock->advance(100);
    QVERIFY(ownerReceived.contains("again"));
  }

  void emptyListReportsAtOnce() {
    QVERIFY(search->start({}, [this](qint32 n) { results << n; }));
    QCOMPARE(results, QList<qint32>{-1});
    QVERIFY(!port->Open());
  }
};

QTEST_GUILESS_MAIN(TestPortSearchEngine)
#include "test_portsearch_engine.moc"
