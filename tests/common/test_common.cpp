#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "common/WindowMessages.h"
#include "platform/Clock.h"
#include "tests/support/VirtualClock.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

namespace {
// Records the window messages it receives.
class Receiver : public QObject {
public:
  QList<std::tuple<quint32, quint32, qint32>> received;
  bool event(QEvent *e) override {
    if (e->type() == WindowMessageEvent::eventType()) {
      auto *m = static_cast<WindowMessageEvent *>(e);
      received << std::make_tuple(m->msg, m->wParam, m->lParam);
      m->result = 42;
      return true;
    }
    return QObject::event(e);
  }
};

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

class TestCommon : public QObject {
  Q_OBJECT
private slots:
  void containsSubstring_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("part");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<bool>("ignoringCase");
    QTest::newRow("found") << "xxOKOKyy"
                           << "OKOK" << true << true;
    QTest::newRow("other case") << "restart now"
                                << "Restart" << false << true;
    QTest::newRow("empty part") << "abc"
                                << "" << false << false;
    QTest::newRow("empty text") << ""
                                << "a" << false << false;
    QTest::newRow("absent") << "OK"
                            << "OKOK" << false << false;
  }
  void containsSubstring() {
    QFETCH(QString, text);
    QFETCH(QString, part);
    QTEST(ContainsSubstring(text, part), "exact");
    QTEST(ContainsSubstringIgnoreCase(text, part), "ignoringCase");
    QTEST(ContainsSubstring(text.toLatin1(), part.toLatin1()), "exact");
    QTEST(ContainsSubstringIgnoreCase(text.toLatin1(), part.toLatin1()), "ignoringCase");
  }

  void containsSubstringWithZeroBytes() {
    const QByteArray received("\0\0I00000000000000", 17);
    QVERIFY(ContainsSubstring(received, QByteArray("I00000000000000")));
  }

  void boolAndTrueText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isTrue");
    QTest::newRow("true") << "true" << true;
    QTest::newRow("yes") << "yes" << true;
    QTest::newRow("upper") << "Yes" << false;
    QTest::newRow("padded") << "yes " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("1") << "1" << false;
  }
  void boolAndTrueText() {
    QFETCH(QString, text);
    QTEST(IsTrueText(text), "isTrue");
    QCOMPARE(BoolToText(true), QStringLiteral("yes"));
    QCOMPARE(BoolToText(false), QStringLiteral("no"));
  }

  void messageNumbers() {
    QCOMPARE(WM_PROGRESS_HIDDEN, 1124u);
    QCOMPARE(WM_WAITING_FOR_COM, 1224u);
    QCOMPARE(WM_COM_WAIT_STATE, 1225u);
    QCOMPARE(WM_REOPEN_COM, 1226u);
    QCOMPARE(WM_COM_SETTINGS_CHANGED, 1227u);
    QCOMPARE(WM_WRITE_READY, 1524u);
  }

  void postIsQueuedSendIsSynchronous() {
    Receiver receiver;
    const WindowHandle h = handleOf(&receiver);
    QVERIFY(h != 0);
    QCOMPARE(handleOf(&receiver), h);
    postMessage(h, WM_WRITE_READY, 2, 0);
    QVERIFY(receiver.received.isEmpty());
    QCOMPARE(sendMessage(&receiver, WM_COM_WAIT_STATE, 3, -1), 42);
    QCOMPARE(receiver.received.size(), 1);
    QCOMPARE(receiver.received.at(0), std::make_tuple(WM_COM_WAIT_STATE, 3u, -1));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(receiver.received.size(), 2);
    QCOMPARE(receiver.received.at(1), std::make_tuple(WM_WRITE_READY, 2u, 0));
  }

  void messagesToVanishedWindowAreDropped() {
    WindowHandle h;
    {
      Receiver gone;
      h = handleOf(&gone);
    }
    QCOMPARE(objectOf(h), nullptr);
    postMessage(h, WM_WRITE_READY, 0, 0);
    QCOMPARE(sendMessage(h, WM_WRITE_READY, 0, 0), 0);
    QCOMPARE(sendMessage(WindowHandle(0), WM_WRITE_READY, 0, 0), 0);
  }

  void delayWithMessagesInVirtualTime() {
    VirtualClock clock;
    Receiver receiver;
    postMessage(&receiver, WM_USER, 1, 1);
    const quint64 start = clock.nowMs();
    DelayWithMessages(15000);
    QCOMPARE(clock.nowMs() - start, quint64(15000));
    QCOMPARE(receiver.received.size(), 1);
    // A zero delay still handles the messages once.
    postMessage(&receiver, WM_USER, 2, 2);
    DelayWithMessages(0);
    QCOMPARE(receiver.received.size(), 2);
  }

  void virtualTimersFireInOrderAndRepeat() {
    VirtualClock clock;
    ClockTimer every500;
    every500.setInterval(500);
    QList<quint64> ticks;
    connect(&every500, &ClockTimer::timeout, [&] { ticks << clock.nowMs(); });
    const quint64 start = clock.nowMs();
    every500.setEnabled(true);
    every500.setEnabled(true); // enabling a running timer keeps its schedule
    clock.advance(1600);
    QCOMPARE(ticks, (QList<quint64>{start + 500, start + 1000, start + 1500}));
    every500.stop();
    clock.advance(1000);
    QCOMPARE(ticks.size(), 3);
  }

  void waitReturnsOnEventBeforeDeadline() {
    VirtualClock clock;
    ClockTimer reply;
    reply.setSingleShot(true);
    bool arrived = false;
    connect(&reply, &ClockTimer::timeout, [&] { arrived = true; });
    reply.start(120);
    const quint64 start = clock.nowMs();
    QVERIFY(clock.runUntil([&] { return arrived; }, 1000));
    QCOMPARE(clock.nowMs() - start, quint64(120));
  }

  // The production clock keeps one Qt timer per clock timer: restarts and stops reuse it, a timer
  // may delete itself in its own timeout, and what a destroyed timer had is never another's.
  void productionTimersAcrossRestartsAndDeletion() {
    Clock &clock = Clock::instance();
    int fired = 0;
    ClockTimer reused;
    reused.setSingleShot(true);
    connect(&reused, &ClockTimer::timeout, [&] { ++fired; });
    for (int i = 0; i < 1000; ++i) {
      reused.start(5);
      reused.stop();
    }
    reused.start(5);

    auto *selfDeleting = new ClockTimer;
    selfDeleting->setSingleShot(true);
    bool deleted = false;
    connect(selfDeleting, &ClockTimer::timeout, [&] {
      delete selfDeleting;
      deleted = true;
    });
    selfDeleting->start(1);

    int orphanFired = 0;
    auto *orphan = new ClockTimer;
    connect(orphan, &ClockTimer::timeout, [&] { ++orphanFired; });
    orphan->start(1);
    delete orphan;
    int heirFired = 0;
    ClockTimer heir; // often at the orphan's address
    heir.setSingleShot(true);
    connect(&heir, &ClockTimer::timeout, [&] { ++heirFired; });
    const quint64 start = clock.nowMs();
    heir.start(30);

    QVERIFY(clock.waitUntil([&] { return fired > 0 && deleted && heirFired > 0; }, start + 2000));
    QCOMPARE(orphanFired, 0);
    // Its own 30 ms, not the orphan's 1 ms; Qt's timers and this clock may round a millisecond apart.
    QVERIFY(clock.nowMs() - start >= 29);
    clock.waitUntil([] { return false; }, clock.nowMs() + 20);
    QCOMPARE(fired, 1);
    QCOMPARE(heirFired, 1);
  }

  // The production wait sleeps in the event loop: it wakes for events and costs no CPU.
  void productionWaitSleeps() {
    Clock &clock = Clock::instance();
    bool fired = false;
    QTimer::singleShot(50, [&] { fired = true; });
    const quint64 start = clock.nowMs();
    const double cpuStart = cpuSeconds();
    while (!fired)
      clock.waitForEvents(start + 5000);
    QVERIFY(clock.nowMs() - start < 1000);

    const quint64 before = clock.nowMs();
    DelayWithMessages(120);
    const quint64 waited = clock.nowMs() - before;
    QVERIFY2(waited >= 120, qPrintable(QString::number(waited)));
    const double cpu = cpuSeconds() - cpuStart;
    QVERIFY2(cpu < 0.1, qPrintable(QStringLiteral("CPU %1 s while waiting").arg(cpu)));
  }
};

QTEST_MAIN(TestCommon)
#include "test_common.moc"
