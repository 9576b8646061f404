#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "gateway/GatewayLink.h"
#include "platform/Clock.h"
#include "platform/UsbDeviceTable.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/Workflow.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <QToolButton>

namespace {

class FixedUsbTable : public UsbDeviceTable {
public:
  FixedUsbTable() { setInstance(this); }
  ~FixedUsbTable() override { setInstance(nullptr); }
  std::optional<QList<Device>> devices() const override { return table; }
  std::optional<QList<Device>> table;
};

} // namespace

class TestPortSearch : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;

  void startOffline() {
    w->storePort(QStringLiteral("offline"));
    w->startUp();
    COM->kvSerialOptionCaptionShow();
  }
  // Bytes from the device on port n reach the main window again.
  bool mainWindowReceivesOn(quint16 n) {
    Form1->link()->RcvString.clear();
    w->ports.line(n).send("OKOK");
    w->clock.advance(20);
    return Form1->link()->RcvString.contains("OKOK");
  }

private slots:
  void init() { w = new Workflow; }
  void cleanup() {
    delete w;
    w = nullptr;
  }

  void onlyOfflineFindsNothing() {
    startOffline();
    COM->PortNumber->setEditText(QStringLiteral("COM9"));
    COM->ButtonFindDeviceOnPort->click();
    QCOMPARE(COM->PortNumber->currentText(), QStringLiteral("offline"));
    QCOMPARE(COM->findPort(), -1);
    QVERIFY(!COM->COM->Open());
  }

  void gatewayIsFoundOnItsPort_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("lowerCase");
    QTest::addColumn<int>("found");
    QTest::newRow("answers OK") << true << false << 4;
    QTest::newRow("answers ok") << true << true << 4;
    QTest::newRow("no gateway") << false << false << -1;
  }
  void gatewayIsFoundOnItsPort() {
    QFETCH(bool, present);
    QFETCH(bool, lowerCase);
    QFETCH(int, found);
    for (quint16 n : {1, 2, 4, 7})
      w->ports.line(n);
    if (present) {
      KorvaneSim::Config config;
      config.faults.lowerCase = lowerCase;
      w->ports.gateway(4, config);
    }
    startOffline();
    QCOMPARE(COM->PortNumber->count(), 5);

    COM->ButtonFindDeviceOnPort->click();

    for (quint16 n : {1, 2}) {
      QCOMPARE(w->ports.line(n).openCount(), 1);
      QCOMPARE(w->ports.line(n).received(), QByteArray("\x14"));
      QVERIFY(!w->ports.line(n).isOpen());
    }
    QVERIFY(!QApplication::overrideCursor());
    if (found > 0) {
      QCOMPARE(COM->PortNumber->currentText(), QStringLiteral("COM%1").arg(found));
      QCOMPARE(int(COM->COM->ComNumber()), found);
      QVERIFY(w->ports.line(quint16(found)).isOpen());
      QCOMPARE(w->ports.line(7).openCount(), 0);
      QVERIFY(mainWindowReceivesOn(quint16(found)));
    } else {
      QCOMPARE(COM->PortNumber->currentText(), QStringLiteral("offline"));
      // The search ends on the last port it tried.
      QCOMPARE(COM->COM->ComNumber(), quint16(7));
      QVERIFY(mainWindowReceivesOn(7));
    }
  }

  void portHeldByAnotherProgramIsPassedOver() {
    w->ports.line(3).heldByOther = true;
    w->ports.gateway(5);
    startOffline();

    QCOMPARE(COM->findPort(), 5);

    QVERIFY(w->dialogs.messageTexts().contains(QStringLiteral("Port COM3 is in use by another application")));
    // The port that could not be opened is not probed, so nothing starts waiting for it.
    QVERIFY(!COM->TimerWaitingForCom->isActive());
    QVERIFY(w->ports.line(5).isOpen());
  }

  void aSecondClickDuringTheSearchIsIgnored() {
    w->ports.line(1);
    w->ports.gateway(2);
    startOffline();
    ClockTimer impatient;
    impatient.setSingleShot(true);
    connect(&impatient, &ClockTimer::timeout, COM->ButtonFindDeviceOnPort, &QToolButton::click);
    impatient.start(100);

    COM->ButtonFindDeviceOnPort->click();

    QVERIFY(!impatient.isActive());
    QCOMPARE(COM->PortNumber->currentText(), QStringLiteral("COM2"));
    QCOMPARE(w->ports.line(1).openCount(), 1);
    QVERIFY(mainWindowReceivesOn(2));
  }

  void usbComPortFromTheDeviceTable_data() {
    QTest::addColumn<QString>("deviceName");
    QTest::addColumn<QString>("port");
    QTest::newRow("interface key with MI_00, other case")
        << "\\\\?\\usb#vid_1234&pid_5678#A1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"
        << "COM7";
    QTest::newRow("no brackets") << "\\\\?\\USB#VID_AAAA&PID_BBBB#x#{c}"
                                 << "";
    QTest::newRow("COM12, then a name without brackets") << "\\\\?\\USB#VID_0403&PID_6001#s#{c}"
                                                         << "COM12";
    QTest::newRow("last instance wins") << "\\\\?\\USB#VID_1111&PID_2222#b#{c}"
                                        << "COM9";
    QTest::newRow("closing bracket first") << "\\\\?\\USB#VID_3333&PID_4444#b#{c}"
                                           << "";
    QTest::newRow("unknown device") << "\\\\?\\USB#VID_9999&PID_9999#b#{c}"
                                    << "";
    QTest::newRow("no #") << "VID_1234&PID_5678"
                          << "";
    QTest::newRow("one #") << "USB#VID_1234&PID_5678"
                           << "";
  }
  void usbComPortFromTheDeviceTable() {
    QFETCH(QString, deviceName);
    QFETCH(QString, port);
    FixedUsbTable devices;
    devices.table = QList<UsbDeviceTable::Device>{
        {"VID_1234&PID_5678&MI_00", {{"A1", "KORVANE Gateway (COM7)"}}},
        {"VID_AAAA&PID_BBBB", {{"x", "USB Input Device"}}},
        {"VID_0403&PID_6001", {{"s1", "FT232R USB UART (COM12)"}, {"s2", "FT232R USB UART"}}},
        {"VID_1111&PID_2222", {{"a", "Adapter (COM4)"}, {"b", "Adapter (COM9)"}}},
        {"VID_3333&PID_4444", {{"a", "Odd (COM5)"}, {"b", "Odd )COM6("}}},
    };
    w->startUp();
    QCOMPARE(COM->findUSBComePort(deviceName), port);
  }

  void unreadableDeviceTableGivesNoPort() {
    FixedUsbTable devices;
    w->startUp();
    QCOMPARE(COM->findUSBComePort(QStringLiteral("\\\\?\\USB#VID_1234&PID_5678#A1#{c}")), QString());
  }
};

QTEST_MAIN(TestPortSearch)
#include "test_portsearch.moc"
