#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/Clock.h"
#include "platform/InstanceBus.h"
#include "platform/linux/DBusInstanceBus.h"
#include "ui/LineMemo.h"
#include "ui/StateWindow.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/MessageSpy.h"
#include "tests/support/Workflow.h"

#include <QDBusConnection>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

using States = QList<QPair<quint32, qint32>>;

class TestBroadcast : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;
  MessageSpy *mainWindow = nullptr;

  // The program uses COM5; its gateway is unplugged for good.
  void startOnCom5() {
    w->ports.line(5);
    w->storePort(QStringLiteral("COM5"));
    w->startUp();
    mainWindow = new MessageSpy(Form1);
    QVERIFY(COM->COM->Open());
    w->ports.line(5).vanish();
    w->clock.advance(1);
    QVERIFY(COM->TimerWaitingForCom->isActive());
  }
  QStringList log() const { return StatusFenster->Memo1->lines(); }

private slots:
  void init() { w = new Workflow; }
  void cleanup() {
    delete w;
    delete mainWindow;
    w = nullptr;
    mainWindow = nullptr;
  }

  // Another running copy, with a wait of its own running for its port, hears the announcement.
  void anotherCopyHearsTheWait_data() {
    QTest::addColumn<quint16>("otherPort");
    QTest::addColumn<bool>("otherStops");
    QTest::newRow("same port") << quint16(5) << true;
    QTest::newRow("other port") << quint16(6) << false;
  }
  void anotherCopyHearsTheWait() {
    QFETCH(quint16, otherPort);
    QFETCH(bool, otherStops);
    startOnCom5();
    w->clock.advance(250);
    TCOM other;
    MessageSpy owner;
    other.callerHandle = handleOf(&owner);
    other.COM->SetComNumber(otherPort);
    sendMessage(&other, WM_WAITING_FOR_COM, 4, 0);

    w->clock.advance(400);

    const QString announcer = QString::number(handleOf(COM->manager));
    QVERIFY(log().contains(QStringLiteral("App: %1 already --").arg(announcer)));
    QVERIFY(log().contains(QStringLiteral("-- waiting on COM5")));
    QVERIFY(log().contains(QStringLiteral("Und es war win anderer broadcast")));
    QCOMPARE(other.TimerWaitingForCom->isActive(), !otherStops);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE).contains({2, 60}), otherStops);
    QCOMPARE(owner.of(WM_COM_WAIT_STATE).first(), (QPair<quint32, qint32>(1, 0)));
    // The announcing copy keeps waiting.
    QVERIFY(COM->TimerWaitingForCom->isActive());
    QVERIFY(!mainWindow->of(WM_COM_WAIT_STATE).contains({2, 60}));
    QCOMPARE(other.COM->ComNumber(), otherPort);
  }

  void ownAnnouncementIsIgnored() {
    startOnCom5();
    w->clock.advance(1600);
    QVERIFY(log().contains(QStringLiteral("Sending broadcast %1").arg(handleOf(Form1))));
    QVERIFY(!log().contains(QStringLiteral("Und es war win anderer broadcast")));
    QVERIFY(!log().contains(QStringLiteral("-- waiting on COM5")));
    QVERIFY(COM->TimerWaitingForCom->isActive());
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE), (States{{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
  }

  void withoutABusTheWaitGoesOnAlone() {
    InstanceBus::setFactory([](QObject *parent) {
      return new DBusInstanceBus(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                               QStringLiteral("tamberlin-test-nobus")),
                                 parent);
    });
    startOnCom5();
    w->clock.advance(1600);
    QCOMPARE(log().filter(QStringLiteral("Broadcast COM: no D-Bus session bus")).size(), 1);
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE).last(), (QPair<quint32, qint32>(4, 0)));
    w->ports.line(5).setPresent(true);
    w->clock.advance(500);
    QVERIFY(COM->COM->Open());
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE).last(), (QPair<quint32, qint32>(0, 0)));
    QDBusConnection::disconnectFromBus(QStringLiteral("tamberlin-test-nobus"));
  }
};

// Two bus objects on a private session bus: what one announces, both hear.
class TestDBusRoundTrip : public QObject {
  Q_OBJECT
private slots:
  void announcementReachesEveryCopy() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
      QSKIP("dbus-daemon is not installed (Debian package dbus), so no session bus can be started");
    QProcess bus;
    bus.start(daemon,
              {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QVERIFY(bus.waitForStarted(5000));
    QVERIFY(bus.waitForReadyRead(10000));
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    QVERIFY(!address.isEmpty());
    {
      DBusInstanceBus first(QDBusConnection::connectToBus(address, QStringLiteral("first")));
      DBusInstanceBus second(QDBusConnection::connectToBus(address, QStringLiteral("second")));
      QCOMPARE(first.unavailableReason(), QString());
      QSignalSpy heardByFirst(&first, &InstanceBus::announced);
      QSignalSpy heardBySecond(&second, &InstanceBus::announced);

      first.announce({0x8877665544332211ull, 0x12340001u}, 5);

      QVERIFY(heardBySecond.wait(10000));
      QCOMPARE(heardBySecond.first(),
               (QVariantList{QVariant::fromValue(quint64(0x8877665544332211ull)),
                             QVariant::fromValue(0x12340001u), QVariant::fromValue(5)}));
      QTRY_COMPARE_WITH_TIMEOUT(heardByFirst.size(), 1, 10000);
      QCOMPARE(heardByFirst.first(), heardBySecond.first());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("first"));
    QDBusConnection::disconnectFromBus(QStringLiteral("second"));
    bus.kill();
    bus.waitForFinished(5000);
  }
};

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  int status = 0;
  {
    TestBroadcast t;
    status |= QTest::qExec(&t, argc, argv);
  }
  {
    TestDBusRoundTrip t;
    status |= QTest::qExec(&t, argc, argv);
  }
  return status;
}
#include "test_broadcast.moc"
