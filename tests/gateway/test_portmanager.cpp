// The port manager without windows: the wait for a vanished port, the port chosen on the command
// line, and the settlement between copies that wait for the same port.
#include "tests/gateway/PortManagerFixture.h"

#include "platform/Clock.h"

#include <QTest>

class TestPortManager : public QObject {
  Q_OBJECT
  std::unique_ptr<PortManagerFixture> f;

private slots:
  void init() { f = std::make_unique<PortManagerFixture>(); }
  void cleanup() { f.reset(); }

  // The port comes back; it opens unless another program has taken it meanwhile. Only an open
  // port is reported as usable.
  void portBackAfterTheWait_data() {
    QTest::addColumn<bool>("heldWhenBack");
    QTest::newRow("free") << false;
    QTest::newRow("held by another program") << true;
  }
  void portBackAfterTheWait() {
    QFETCH(bool, heldWhenBack);
    f->ports.line(5);
    MessageSpy owner;
    auto m = f->manager(owner);
    m->ApplySettings(QStringLiteral("COM5"));
    f->clock.advance(1);
    QVERIFY(m->COM->Open());
    owner.seen.clear();

    f->ports.line(5).vanish();
    f->clock.advance(1200);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE), (States{{1, 0}, {2, 0}, {3, 0}}));
    f->ports.line(5).setPresent(true);
    f->ports.line(5).heldByOther = heldWhenBack;
    f->clock.advance(2000);

    QCOMPARE(m->COM->Open(), !heldWhenBack);
    QCOMPARE(f->ports.line(5).isOpen(), !heldWhenBack);
    QVERIFY(!m->TimerWaitingForCom->isActive());
    const States after = owner.of(WM_COM_WAIT_STATE).mid(3);
    QCOMPARE(after, heldWhenBack ? States({{2, 50}}) : States({{0, 0}}));
    QCOMPARE(m->TimerWaitingForCom->tag, heldWhenBack ? 3 : 0);
    QVERIFY(f->log.contains(QStringLiteral("und offen jetzt wieder offen  ") +
                            (heldWhenBack ? QStringLiteral("no") : QStringLiteral("yes"))));
  }

  // The port named on the command line replaces the stored one: a wait for the stored port, or
  // the stop after finding it held, ends, and the owner learns that the new port is usable.
  void chosenPortEndsTheWaitForTheStoredOne_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<States>("before");
    QTest::addColumn<States>("after");
    QTest::newRow("stored port absent") << "absent" << States{{1, 0}} << States{{0, 0}};
    QTest::newRow("stored port held") << "held" << States{{2, 50}} << States{{0, 0}};
    QTest::newRow("stored port open") << "present" << States{{0, 0}} << States{};
  }
  void chosenPortEndsTheWaitForTheStoredOne() {
    QFETCH(QString, stored);
    QFETCH(States, before);
    QFETCH(States, after);
    f->ports.line(9).setPresent(stored != QLatin1String("absent"));
    f->ports.line(9).heldByOther = stored == QLatin1String("held");
    f->ports.line(3);
    MessageSpy owner;
    auto m = f->manager(owner);
    m->ApplySettings(QStringLiteral("COM9"));
    f->clock.advance(1);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE), before);
    owner.seen.clear();

    m->usePort(3);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE), after); // sent at once, before anything else runs
    f->clock.advance(3000);

    QCOMPARE(owner.of(WM_COM_WAIT_STATE), after);
    QVERIFY(!m->TimerWaitingForCom->isActive());
    QCOMPARE(m->TimerWaitingForCom->tag, 0);
    QCOMPARE(m->COM->ComNumber(), quint16(3));
    QVERIFY(m->COM->Open());
    QCOMPARE(f->ports.line(3).openCount(), 1);
  }

  // Two copies wait for COM5; each hears the other. Exactly one keeps waiting, whoever started
  // first, also when both start at the same moment.
  void exactlyOneOfTwoWaitingCopiesKeepsWaiting_data() {
    QTest::addColumn<bool>("firstCreatedStartsFirst");
    QTest::addColumn<int>("laterByMs");
    QTest::newRow("same moment") << true << 0;
    QTest::newRow("first created, then the other") << true << 250;
    QTest::newRow("other first, then the first created") << false << 250;
    QTest::newRow("a tick apart") << false << 500;
  }
  void exactlyOneOfTwoWaitingCopiesKeepsWaiting() {
    QFETCH(bool, firstCreatedStartsFirst);
    QFETCH(int, laterByMs);
    f->ports.line(5).setPresent(false);
    MessageSpy ownerA, ownerB;
    auto a = f->manager(ownerA);
    auto b = f->manager(ownerB);
    PortManager *early = firstCreatedStartsFirst ? a.get() : b.get();
    PortManager *late = firstCreatedStartsFirst ? b.get() : a.get();
    early->ApplySettings(QStringLiteral("COM5"));
    f->clock.advance(quint64(laterByMs));
    late->ApplySettings(QStringLiteral("COM5"));

    f->clock.advance(5000);

    QCOMPARE(int(a->TimerWaitingForCom->isActive()) + int(b->TimerWaitingForCom->isActive()), 1);
    MessageSpy &stoppedOwner = a->TimerWaitingForCom->isActive() ? ownerB : ownerA;
    MessageSpy &waitingOwner = a->TimerWaitingForCom->isActive() ? ownerA : ownerB;
    QVERIFY(stoppedOwner.of(WM_COM_WAIT_STATE).contains({2, 60}));
    QVERIFY(!waitingOwner.of(WM_COM_WAIT_STATE).contains({2, 60}));
    QVERIFY(f->log.contains(QStringLiteral("Waiting on the same COM - getting offline")));
  }

  // An announcement is this manager's own only when both the copy and the handle are its own.
  void announcementsOfOtherCopiesAreHeard_data() {
    QTest::addColumn<bool>("ownProcess");
    QTest::addColumn<bool>("ownHandle");
    QTest::addColumn<bool>("heard");
    QTest::newRow("own") << true << true << false;
    QTest::newRow("another copy, same handle") << false << true << true;
    QTest::newRow("same copy, another manager") << true << false << true;
  }
  void announcementsOfOtherCopiesAreHeard() {
    QFETCH(bool, ownProcess);
    QFETCH(bool, ownHandle);
    QFETCH(bool, heard);
    f->ports.line(5);
    MessageSpy owner;
    auto m = f->manager(owner);
    m->ApplySettings(QStringLiteral("COM5"));
    f->clock.advance(1);
    owner.seen.clear();
    const InstanceId own = m->identity();
    const InstanceId sender{ownProcess ? own.process : ~own.process, ownHandle ? own.handle : own.handle + 1};

    LocalInstanceBus other;
    other.announce(sender, 5);
    f->clock.advance(10);

    QCOMPARE(f->log.contains(QStringLiteral("Und es war win anderer broadcast")), heard);
    QCOMPARE(f->log.contains(QStringLiteral("App: %1 already --").arg(sender.handle)), heard);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE), heard ? States({{2, 60}}) : States());
  }
};

QTEST_GUILESS_MAIN(TestPortManager)
#include "test_portmanager.moc"
