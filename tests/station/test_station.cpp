// The station's logic in virtual time against simulated gateways: slots writing at once, slots
// that follow their adapter, start on plug-in, refusals before anything starts, counters.
#include "platform/Log.h"
#include "station/ExitCodes.h"

#include "tests/station/StationFixture.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTest>

class TestStation : public QObject {
  Q_OBJECT
  std::unique_ptr<StationFixture> f;

  Station &station() { return *f->station; }
  const StationSlot &slot(int i) { return station().slotAt(i); }

private slots:
  void init() { f = std::make_unique<StationFixture>(); }
  void cleanup() { f.reset(); }

  // Three gateways at once, one dropping a dot: the others are written, each slot says how it
  // ended, and the counters and the record have every ending.
  void slotsWriteAtOnce() {
    SimGateway &a = f->gateway(3);
    f->gateway(4, "skipDot");
    SimGateway &c = f->gateway(6, "debug");
    QVERIFY(station().loadScript(f->script).isEmpty());
    for (const char *port : {"COM3", "4", "com6"})
      QCOMPARE(station().addSlot(port), QString());
    QStringList texts;
    int mostAtOnce = 0;
    connect(&station(), &Station::slotChanged, this, [&](int i) {
      texts << slot(i).portName() + ' ' + slot(i).stateText();
      mostAtOnce = qMax(mostAtOnce, int(station().runningSlots().size()));
    });
    QCOMPARE(station().startAll(), QString());
    QVERIFY(f->runToEnd());

    QCOMPARE(mostAtOnce, 3);
    QCOMPARE(slot(0).stateText(), QStringLiteral("written"));
    QVERIFY2(slot(1).stateText().startsWith(QStringLiteral("failed: ")), qPrintable(slot(1).stateText()));
    QCOMPARE(slot(2).stateText(), QStringLiteral("written"));
    QVERIFY(a.sim().lastDownload().script == pattern(1500) && a.sim().lastDownload().matches());
    QVERIFY(c.sim().lastDownload().script == pattern(1500) && c.sim().lastDownload().matches());
    static const QRegularExpression writing(
        QStringLiteral("^COM3 writing (\\d+) of 1500 bytes \\((\\d+) %\\)$"));
    const QStringList shown = texts.filter(writing);
    QVERIFY(shown.size() >= 50); // one per percent, about
    for (const QString &t : shown) {
      const QRegularExpressionMatch m = writing.match(t);
      QCOMPARE(m.captured(2).toInt(), m.captured(1).toInt() * 100 / 1500);
    }
    QVERIFY(texts.contains(QStringLiteral("COM3 restarting")));
    QVERIFY(slot(0).secondsTaken() > 1.0); // 1500 bytes as hexadecimal at 960 bytes/s
    QCOMPARE(station().counters(), (StationCounters{2, 1, 3}));
    QCOMPARE(slot(1).counters(), (StationCounters{0, 1, 1}));
    QCOMPARE(f->recorded.size(), 3);
    for (const PortResult &r : f->recorded)
      QCOMPARE(r.code, r.port == "COM4" ? ExitCode::Transfer : ExitCode::Written);
  }

  // The image is read once: a file changed on disk afterwards (or removed) is not what goes out,
  // on either interface, and the station says that it changed.
  // With a log folder each slot's lines go to its own file, not into the program's log.
  void slotLogsInTheirOwnFiles() {
    f->gateway(3);
    f->gateway(4);
    QStringList programLog;
    const int sink = Log::addSink([&](const QString &text, Log::Kind) { programLog << text; });
    station().setLogFolder(f->dir.filePath(QStringLiteral("logs")));
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("COM3"), QString());
    QCOMPARE(station().addSlot("COM4"), QString());
    QCOMPARE(station().startAll(), QString());
    QVERIFY(f->runToEnd());
    Log::removeSink(sink);
    for (const char *port : {"COM3", "COM4"}) {
      QFile log(f->dir.filePath(QStringLiteral("logs/port-%1.log").arg(QLatin1String(port))));
      QVERIFY2(log.open(QIODevice::ReadOnly), port);
      QVERIFY(log.readAll().contains("programming"));
    }
    QVERIFY2(programLog.filter(QStringLiteral("programming")).isEmpty(), qPrintable(programLog.join('\n')));
  }

  void scriptReadOnce_data() {
    QTest::addColumn<QString>("interface");
    QTest::addColumn<bool>("removed");
    QTest::newRow("configuration, file changed") << "" << false;
    QTest::newRow("debug, file removed") << "debug" << true;
  }
  void scriptReadOnce() {
    QFETCH(QString, interface);
    QFETCH(bool, removed);
    SimGateway &g = f->gateway(3, interface);
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().script().size(), qint64(1500));
    QCOMPARE(
        station().script().sha256(),
        QString::fromLatin1(QCryptographicHash::hash(pattern(1500), QCryptographicHash::Sha256).toHex()));
    QVERIFY(removed ? QFile::remove(f->script) : writeFile(f->script, pattern(900, 77)));
    QVERIFY(!station().scriptChangedOnDisk());
    f->clock.advance(2500);
    QVERIFY(station().scriptChangedOnDisk());
    QCOMPARE(station().addSlot("COM3"), QString());
    QCOMPARE(station().startAll(), QString());
    QVERIFY(f->runToEnd());
    QCOMPARE(slot(0).state(), SlotState::Written);
    QVERIFY(g.sim().lastDownload().script == pattern(1500));
  }

  // Nothing starts, and no port is opened, without a usable script, without slots or without a
  // record that can be written.
  void refusedBeforeAnySlotStarts_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("script too large") << "large"
                                      << "a script may have at most 65536 bytes";
    QTest::newRow("script missing") << "missing"
                                    << "does not exist";
    QTest::newRow("script a folder") << "folder"
                                     << "does not exist";
    QTest::newRow("script empty") << "empty"
                                  << "is empty";
    QTest::newRow("no slots") << "noSlots"
                              << "has no slots";
    QTest::newRow("record not writable") << "record"
                                         << "The record of writes cannot be written: disk full";
  }
  void refusedBeforeAnySlotStarts() {
    QFETCH(QString, setup);
    QFETCH(QString, refusal);
    f->gateway(3);
    QString path = f->script;
    if (setup == "large")
      QVERIFY(writeFile(path, pattern(65537)));
    else if (setup == "empty")
      QVERIFY(writeFile(path, {}));
    else if (setup == "missing")
      path = f->dir.filePath("gone.qcs");
    else if (setup == "folder")
      path = f->dir.path();
    if (setup == "record")
      station().setRecord({[] { return QStringLiteral("disk full"); }, {}});
    const QString loaded = station().loadScript(path);
    const bool scriptRefused = setup != "noSlots" && setup != "record";
    QCOMPARE(loaded.contains(refusal), scriptRefused);
    QCOMPARE(station().script().loaded(), !scriptRefused);
    if (setup != "noSlots")
      QCOMPARE(station().addSlot("COM3"), QString());
    const QString started = station().startAll();
    QVERIFY2(started.contains(scriptRefused ? QStringLiteral("No script is loaded") : refusal),
             qPrintable(started));
    QVERIFY(!station().startProblem().isEmpty());
    if (setup != "noSlots")
      QCOMPARE(station().startSlot(0), started);
    QCOMPARE(f->ports.line(3).openCount(), 0);
  }

  // A script that cannot be read leaves the one loaded before in place.
  void failedLoadKeepsTheScript() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    QVERIFY(!station().loadScript(f->dir.filePath("gone.qcs")).isEmpty());
    QCOMPARE(station().script().path(), f->script);
    QCOMPARE(station().script().bytes(), pattern(1500));
  }

  // A port held by another program says so in its slot; the other slots go on.
  void heldPortInItsSlot() {
    f->gateway(3, "held");
    SimGateway &b = f->gateway(4);
    QVERIFY(station().loadScript(f->script).isEmpty());
    station().addSlot("COM3");
    station().addSlot("COM4");
    QCOMPARE(station().startAll(), QString());
    QVERIFY(f->runToEnd());
    QVERIFY2(slot(0).stateText().startsWith(QStringLiteral("failed: Port COM3 cannot be used")),
             qPrintable(slot(0).stateText()));
    QCOMPARE(slot(0).lastResult()->code, ExitCode::Port);
    QCOMPARE(slot(1).state(), SlotState::Written);
    QVERIFY(b.sim().lastDownload().matches());
  }

  // A slot bound to an adapter follows it to another COM number; one bound to a port stays there.
  void bindingFollowsTheAdapter() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    f->plug(5, "G1");
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(slot(0).port(), quint16(5));
    QCOMPARE(slot(0).adapterText(), QStringLiteral("0403:6001 serial G1"));
    QCOMPARE(station().startSlot(0), QString());
    QVERIFY(f->runToEnd());
    QCOMPARE(slot(0).state(), SlotState::Written);
    QCOMPARE(slot(0).lastResult()->adapter, QStringLiteral("0403:6001 serial G1"));

    f->unplug("G1");
    QCOMPARE(slot(0).port(), quint16(0));
    QCOMPARE(slot(0).note(), QStringLiteral("usb:G1 is not plugged in."));
    QCOMPARE(station().startSlot(0), slot(0).note());
    SimGateway &again = f->plug(9, "G1");
    QCOMPARE(slot(0).portName(), QStringLiteral("COM9"));
    QCOMPARE(station().startSlot(0), QString());
    QVERIFY(f->runToEnd());
    QCOMPARE(slot(0).state(), SlotState::Written);
    QCOMPARE(slot(0).lastResult()->port, QStringLiteral("COM9"));
    QVERIFY(again.sim().lastDownload().matches());
    QCOMPARE(f->ports.line(5).openCount(), 1);
  }

  // A window that counts the rows at slotsChanged never hears of a change in a row it does not
  // know: adding, removing and reading the stored setup.
  void rowsKnownBeforeTheirChanges() {
    f->plug(5, "G1");
    QList<int> unknown;
    const auto listen = [&](Station &s) {
      auto rows = std::make_shared<int>(s.slotCount());
      connect(&s, &Station::slotsChanged, this, [&s, rows] { *rows = s.slotCount(); });
      connect(&s, &Station::slotChanged, this, [&, rows](int i) {
        if (i < 0 || i >= *rows)
          unknown << i;
      });
    };
    listen(station());
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(station().addSlot("COM3"), QString());
    QCOMPARE(station().removeSlot(0), QString());
    QCOMPARE(station().addSlot("usb:G1"), QString());
    std::unique_ptr<Station> again = f->newStation();
    listen(*again);
    QCOMPARE(again->restore(), QString());
    QCOMPARE(again->slotCount(), 2);
    QCOMPARE(unknown, QList<int>{});
  }

  // Two adapters with one identity are never told apart by a guess.
  void duplicateIdentityRefused() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    f->plug(5, "G1");
    f->adapters.ports << StationFixture::adapter(6, "G1", "1-4");
    f->adapters.ports.first().place = "1-3";
    QCOMPARE(
        station().addSlot("usb:G1"),
        QStringLiteral("2 adapters have the identity usb:G1 (COM5, COM6); a slot never guesses which one is "
                       "meant: unplug all but one, or bind the slots by their USB path (usb:path:1-3, "
                       "usb:path:1-4)."));
    QCOMPARE(station().slotCount(), 0);
    QCOMPARE(station().addSlot("usb:path:1-3"), QString());
    QCOMPARE(slot(0).port(), quint16(5));
    QVERIFY(station().addSlot("usb:path:1-3").contains("already"));

    // One of them present when the slot is added, the second plugged in later.
    f->adapters.ports.removeLast();
    QCOMPARE(station().addSlot("usb:G1"), QString());
    f->plug(7, "G1");
    QVERIFY2(slot(1).note().startsWith(QStringLiteral("2 adapters have the identity usb:G1 (COM5, COM7)")),
             qPrintable(slot(1).note()));
    QCOMPARE(slot(1).port(), quint16(0));
    QCOMPARE(station().startSlot(1), slot(1).note());
    QCOMPARE(f->ports.line(7).openCount(), 0);
    // A port that two slots reach is one slot's only.
    QCOMPARE(station().addSlot("COM5"), QString());
    QCOMPARE(slot(2).note(), QStringLiteral("COM5 is the port of slot 1 too: one port, one slot."));
  }

  // With the switch on, an arriving adapter starts its slot; after the result the slot waits for
  // the adapter to go, so one gateway is written once, and the next one plugged in is written.
  void startOnPlugInOncePerGateway() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(station().setStartOnPlugIn(true), QString());
    QCOMPARE(slot(0).stateText(), QStringLiteral("waiting for a gateway"));
    SimGateway &first = f->plug(5, "G1");
    QVERIFY(slot(0).running());
    QVERIFY(f->runToEnd());
    QCOMPARE(slot(0).state(), SlotState::Written);
    QVERIFY(slot(0).waitingForRemoval());
    // Time and other devices' events do not start it again.
    f->arrival("MOUSE");
    f->clock.advance(10000);
    QVERIFY(!slot(0).running());
    QCOMPARE(first.sim().downloadsStarted(), 1);
    QCOMPARE(f->ports.line(5).openCount(), 1);

    f->unplug("G1");
    QVERIFY(!slot(0).waitingForRemoval());
    QCOMPARE(slot(0).stateText(), QStringLiteral("waiting for a gateway"));
    SimGateway &second = f->plug(8, "G1");
    QVERIFY(f->runToEnd());
    QCOMPARE(second.sim().downloadsCompleted(), 1);
    QCOMPARE(slot(0).counters(), (StationCounters{2, 0, 2}));
  }

  // An adapter pulled and put back while its write still runs is a new gateway for the switch,
  // however late the write ends.
  void replugDuringTheWrite() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(station().setStartOnPlugIn(true), QString());
    SimGateway &g = f->plug(5, "G1");
    QVERIFY(f->clock.runUntil([&] { return slot(0).done() > 100; }, 60000));
    // The system reports the removal; the write has not noticed (its simulated line stays).
    f->adapters.ports.clear();
    for (const QPointer<UsbMonitor> &m : f->monitors)
      if (m)
        m->reportRemoval(StationFixture::eventPath("G1"));
    f->clock.advance(2500);
    QVERIFY(slot(0).running());
    QVERIFY(!slot(0).waitingForRemoval());
    f->adapters.ports << StationFixture::adapter(5, "G1");
    f->arrival("G1");
    // The first write ends, and the gateway put back is written right after it.
    QVERIFY(f->runToEnd());
    f->clock.processMessages();
    QVERIFY(f->runToEnd());
    QCOMPARE(g.sim().downloadsCompleted(), 2);
    QCOMPARE(slot(0).counters(), (StationCounters{2, 0, 2}));
    QVERIFY(slot(0).waitingForRemoval());
  }

  // A gateway plugged in before the switch goes on is not written by it.
  void presentBeforeTheSwitchIsNotStarted() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    f->plug(5, "G1");
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(station().setStartOnPlugIn(true), QString());
    f->clock.advance(5000);
    QCOMPARE(f->ports.line(5).openCount(), 0);
    QVERIFY(slot(0).waitingForRemoval());
  }

  // The search's restart prompt is shown in its slot, never as a box: the other slot goes on.
  void restartRequestInTheSlot() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    station().setRestartWaitMs(3000);
    station().addSlot("COM3");
    station().addSlot("COM4");
    f->gateway(3, "silent");
    SimGateway &b = f->gateway(4);
    QStringList requests;
    connect(&station(), &Station::slotChanged, this, [&](int i) {
      if (!slot(i).request().isEmpty())
        requests << slot(i).portName() + ' ' + slot(i).stateText() + ": " + slot(i).request();
    });
    QCOMPARE(station().startAll(), QString());
    QVERIFY(f->runToEnd());
    QVERIFY(!requests.isEmpty());
    QCOMPARE(requests.first(),
             QStringLiteral(
                 "COM3 waiting for a gateway: Restart KORVANE and confirm. Waiting 3 s for the gateway."));
    QVERIFY(slot(0).request().isEmpty());
    QCOMPARE(slot(0).lastResult()->code, ExitCode::NoGateway);
    QVERIFY(b.sim().lastDownload().matches());
  }

  // A gateway that vanishes in the data fails its slot; when it comes back (here under another
  // number) the switch writes it again, and the other slot never noticed.
  void vanishesMidWriteAndComesBack() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("usb:G1"), QString());
    QCOMPARE(station().addSlot("usb:G2"), QString());
    QCOMPARE(station().setStartOnPlugIn(true), QString());
    SimGateway &steady = f->plug(4, "G2");
    f->plug(5, "G1", "vanish");
    QVERIFY(f->clock.runUntil([&] { return !f->ports.line(5).present(); }, 60000));
    f->unplug("G1");
    QVERIFY(f->clock.runUntil([&] { return !slot(0).running(); }, 60000));
    // Its adapter gone, the slot waits for it again; the failure is its last result.
    QCOMPARE(slot(0).stateText(), QStringLiteral("waiting for a gateway"));
    QCOMPARE(slot(0).lastResult()->code, ExitCode::Transfer);
    QVERIFY(slot(0).lastResult()->bytes >= 300);
    SimGateway &back = f->plug(11, "G1");
    QVERIFY(f->runToEnd());
    QCOMPARE(slot(0).state(), SlotState::Written);
    QCOMPARE(slot(0).port(), quint16(11));
    QVERIFY(back.sim().lastDownload().matches());
    QCOMPARE(slot(1).state(), SlotState::Written);
    QVERIFY(steady.sim().lastDownload().matches());
    QCOMPARE(station().counters(), (StationCounters{2, 1, 3}));
  }

  // Stopping a slot in the data says that the gateway holds part of the script.
  void stopInTheData() {
    QVERIFY(station().loadScript(f->script).isEmpty());
    station().addSlot("COM3");
    f->gateway(3);
    QCOMPARE(station().startSlot(0), QString());
    QVERIFY(f->clock.runUntil([&] { return slot(0).done() > 200; }, 60000));
    QCOMPARE(station().runningSlots(), QStringList{"COM3"});
    station().stopAll();
    QVERIFY(!slot(0).running());
    QVERIFY(!f->ports.line(3).isOpen());
    QCOMPARE(slot(0).stateText(),
             QStringLiteral(
                 "failed: stopped while writing: the gateway holds part of the script, write it again"));
    QCOMPARE(station().counters(), (StationCounters{0, 1, 1}));
    f->clock.advance(1000);
  }
};

QTEST_GUILESS_MAIN(TestStation)
#include "test_station.moc"
