// The simulated USB adapter's latency timer: what reaches the program at once, what waits, and
// until when.
#include "sim/program/AdapterLatency.h"

#include <QTest>

class TestAdapterLatency : public QObject {
  Q_OBJECT
private slots:
  void holdsBytesUntilTheTimerRunsOutOrAPacketIsFull_data() {
    QTest::addColumn<int>("latencyMs");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("atMs");
    QTest::addColumn<int>("atOnce");
    QTest::addColumn<int>("dueMs"); // -1: nothing held
    QTest::newRow("a dot waits for the timer") << 16 << 1 << 5 << 0 << 16;
    QTest::newRow("the timer runs on its own, not from the byte") << 16 << 1 << 16 << 0 << 32;
    QTest::newRow("a full packet leaves at once, the rest waits") << 16 << 70 << 40 << 62 << 48;
    QTest::newRow("two full packets, nothing held") << 16 << 124 << 3 << 124 << -1;
    QTest::newRow("1 ms") << 1 << 4 << 7 << 0 << 8;
    QTest::newRow("no latency: everything at once") << 0 << 5 << 7 << 5 << -1;
  }
  void holdsBytesUntilTheTimerRunsOutOrAPacketIsFull() {
    QFETCH(int, latencyMs);
    QFETCH(int, bytes);
    QFETCH(int, atMs);
    QFETCH(int, atOnce);
    QFETCH(int, dueMs);
    AdapterLatency adapter(latencyMs);
    QByteArray sent;
    for (int i = 0; i < bytes; ++i)
      sent += char(i);
    const QByteArray now = adapter.take(sent, quint64(atMs));
    QCOMPARE(now, sent.left(atOnce));
    QCOMPARE(adapter.dueMs(), qint64(dueMs));
    if (dueMs < 0)
      return;
    QVERIFY(adapter.release(quint64(dueMs - 1)).isEmpty());
    QCOMPARE(adapter.release(quint64(dueMs)), sent.mid(atOnce));
    QCOMPARE(adapter.dueMs(), qint64(-1));
  }

  void bytesThatJoinHeldOnesLeaveWithThem() {
    AdapterLatency adapter(16);
    QVERIFY(adapter.take("O", 3).isEmpty());
    QVERIFY(adapter.take("K", 9).isEmpty());
    QCOMPARE(adapter.dueMs(), qint64(16));
    QCOMPARE(adapter.release(20), QByteArray("OK"));
  }
};

QTEST_GUILESS_MAIN(TestAdapterLatency)
#include "test_adapterlatency.moc"
