// When a transfer's progress is drawn, in virtual time.
#include "app/ProgressPacer.h"
#include "tests/support/VirtualClock.h"

#include <QTest>

#include <memory>

namespace {
struct Shown {
  qint64 done;
  qint64 total;
  quint64 elapsedMs;
  bool operator==(const Shown &o) const {
    return done == o.done && total == o.total && elapsedMs == o.elapsedMs;
  }
};
} // namespace

class TestProgressPacer : public QObject {
  Q_OBJECT
  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<ProgressPacer> pacer;
  QList<Shown> shown;

private slots:
  void init() {
    clock = std::make_unique<VirtualClock>();
    shown.clear();
    pacer = std::make_unique<ProgressPacer>([this](qint64 done, qint64 total, quint64 elapsedMs) {
      shown << Shown{done, total, elapsedMs};
    });
    pacer->begin();
  }
  void cleanup() {
    pacer.reset();
    clock.reset();
  }

  // The byte that passes the mark is drawn a moment later, never inside the call that reports it
  // (that call sends the next byte right after), and with the time it was reported at.
  void drawsAMomentAfterTheMark() {
    clock->sleep(ProgressPacer::EveryMs - 1);
    pacer->update(10, 100);
    clock->advance(ProgressPacer::DelayMs * 2);
    QVERIFY(shown.isEmpty()); // too soon after the start

    clock->sleep(ProgressPacer::EveryMs);
    const quint64 at = ProgressPacer::EveryMs * 2 - 1 + ProgressPacer::DelayMs * 2;
    pacer->update(20, 100);
    QVERIFY(shown.isEmpty());
    clock->advance(ProgressPacer::DelayMs - 1);
    pacer->update(21, 100); // inside the same mark: not drawn, and the earlier one is not delayed
    clock->advance(1);
    QCOMPARE(shown, (QList<Shown>{{20, 100, at}}));
  }

  // The last byte is drawn at once; a new transfer drops what an earlier one had pending.
  void lastByteAtOnceAndNothingStale() {
    clock->sleep(ProgressPacer::EveryMs);
    pacer->update(50, 100);
    pacer->update(100, 100);
    QCOMPARE(shown, (QList<Shown>{{100, 100, ProgressPacer::EveryMs}}));
    clock->advance(ProgressPacer::DelayMs * 2);
    QCOMPARE(shown.size(), 1);

    clock->sleep(ProgressPacer::EveryMs);
    pacer->update(30, 100);
    pacer->begin();
    clock->advance(ProgressPacer::DelayMs * 2);
    QCOMPARE(shown.size(), 1);
  }
};

QTEST_GUILESS_MAIN(TestProgressPacer)
#include "test_progresspacer.moc"
