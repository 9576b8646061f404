// "Broadcast COM" between running copies on Windows: the registered message posted to every
// top-level window reaches the hidden window of this copy and of another process, and a copy knows
// its own announcement.
#include "platform/InstanceBus.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include <windows.h>

namespace {
// Run as "announce <port>": another copy that announces once and ends.
int announceOnce(qint32 port) {
  std::unique_ptr<InstanceBus> bus(InstanceBus::create(nullptr));
  bus->announce(bus->identity(1), port);
  QCoreApplication::processEvents();
  return bus->unavailableReason().isEmpty() ? 0 : 3;
}

// (process, handle, port) of every announcement heard.
struct Heard {
  quint64 process;
  quint32 handle;
  qint32 port;
};

QList<Heard> heard(const QSignalSpy &spy) {
  QList<Heard> all;
  for (const QList<QVariant> &a : spy)
    all << Heard{a.at(0).toULongLong(), a.at(1).toUInt(), a.at(2).toInt()};
  return all;
}
} // namespace

class TestBroadcast : public QObject {
  Q_OBJECT
private slots:
  void ownAnnouncementIsKnownAsOwn() {
    std::unique_ptr<InstanceBus> bus(InstanceBus::create(nullptr));
    QVERIFY2(bus->unavailableReason().isEmpty(), qPrintable(bus->unavailableReason()));
    QSignalSpy spy(bus.get(), &InstanceBus::announced);
    const InstanceId me = bus->identity(7);
    bus->announce(me, 4);
    QVERIFY(spy.wait(5000));
    const Heard h = heard(spy).first();
    QCOMPARE(h.port, 4);
    QVERIFY((InstanceId{h.process, h.handle}) == me);
    QCOMPARE(h.process, quint64(GetCurrentProcessId()));
  }

  void anotherCopyIsHeard() {
    std::unique_ptr<InstanceBus> bus(InstanceBus::create(nullptr));
    QSignalSpy spy(bus.get(), &InstanceBus::announced);
    QProcess other;
    other.start(QCoreApplication::applicationFilePath(), {QStringLiteral("announce"), QStringLiteral("9")});
    QVERIFY(other.waitForFinished(30000));
    QCOMPARE(other.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!heard(spy).isEmpty(), 10000);
    const Heard h = heard(spy).first();
    QCOMPARE(h.port, 9);
    QCOMPARE(h.process, quint64(other.processId()));
    QVERIFY((InstanceId{h.process, h.handle}) != bus->identity(7));
  }
};

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc == 3 && qstrcmp(argv[1], "announce") == 0)
    return announceOnce(QByteArray(argv[2]).toInt());
  TestBroadcast test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_broadcast.moc"
