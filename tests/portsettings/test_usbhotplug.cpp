#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "gateway/PortManager.h"
#include "language/TranslationManager.h"
#include "platform/Clock.h"
#include "platform/UsbDeviceTable.h"
#include "ui/LineMemo.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/MessageSpy.h"
#include "tests/support/Workflow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using States = QList<QPair<quint32, qint32>>;

namespace {

const QString kGateway =
    QStringLiteral("\\\\?\\USB#VID_1A86&PID_7523#G1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
const QString kMouse =
    QStringLiteral("\\\\?\\USB#VID_046D&PID_C077#5&1a2b#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");

class FixedUsbTable : public UsbDeviceTable {
public:
  FixedUsbTable() { setInstance(this); }
  ~FixedUsbTable() override { setInstance(nullptr); }
  std::optional<QList<Device>> devices() const override { return table; }
  QList<Device> table;
};

} // namespace

class TestUsbHotPlug : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;
  FixedUsbTable *devices = nullptr;
  QTemporaryDir *langDir = nullptr;
  LanguageSelect *lang = nullptr;
  MessageSpy *mainWindow = nullptr;

  // The program on COM3, with a language file whose USB switch reads detect.
  void startOnCom3(const QString &detect) {
    QDir(langDir->path()).mkpath(QStringLiteral("lang"));
    QFile ini(langDir->filePath(QStringLiteral("lang/english_en_gb.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[translations]\n");
    if (!detect.isEmpty())
      ini.write("kvSerialDetectUSBCome=" + detect.toUtf8() + "\n");
    ini.write("kvSerialUseUSBCome=Use %s for the gateway?\nkvSerialHint=New USB port\n");
    ini.close();
    lang->setProgramDir(langDir->path());
    QVERIFY(lang->readDefaultLang());

    w->ports.line(3);
    w->storePort(QStringLiteral("COM3"));
    w->startUp();
    COM->language = lang;
    mainWindow = new MessageSpy(Form1);
    QVERIFY(COM->COM->Open());
  }
  QStringList log() const { return StatusFenster->Memo1->lines(); }

private slots:
  void init() {
    w = new Workflow;
    devices = new FixedUsbTable;
    devices->table = {{"VID_1A86&PID_7523", {{"G1", "USB-SERIAL CH340 (COM7)"}}},
                      {"VID_046D&PID_C077", {{"5&1a2b", "USB Input Device"}}}};
    langDir = new QTemporaryDir;
    lang = new LanguageSelect;
  }
  void cleanup() {
    delete mainWindow;
    delete w;
    delete devices;
    delete lang;
    delete langDir;
    mainWindow = nullptr;
  }

  void mouseArrivalChangesNothing() {
    startOnCom3(QStringLiteral("yes"));
    w->usb.arrive(kMouse);
    w->clock.advance(10);
    QVERIFY(w->dialogs.shown.isEmpty());
    QVERIFY(log().contains(QStringLiteral("#### ") + kMouse));
    QVERIFY(log().contains(QStringLiteral("USBcome aber nicht connected also nichts tun")));
    QCOMPARE(COM->COM->ComNumber(), quint16(3));
    QVERIFY(mainWindow->of(WM_COM_SETTINGS_CHANGED).isEmpty());
  }

  void gatewayArrivalOffersItsPort_data() {
    QTest::addColumn<QString>("detect");
    QTest::addColumn<QString>("tablePort");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<quint16>("portAfter");
    QTest::addColumn<bool>("held"); // the station window uses the ports
    QTest::newRow("yes, OK") << "yes"
                             << "COM7" << int(Dialogs::Ok) << true << quint16(7) << false;
    QTest::newRow("TRUE, OK") << "TRUE"
                              << "COM7" << int(Dialogs::Ok) << true << quint16(7) << false;
    QTest::newRow("yes, Cancel") << "yes"
                                 << "COM7" << int(Dialogs::Cancel) << true << quint16(3) << false;
    QTest::newRow("switch off") << "no"
                                << "COM7" << int(Dialogs::Ok) << false << quint16(3) << false;
    QTest::newRow("no switch in the file") << ""
                                           << "COM7" << int(Dialogs::Ok) << false << quint16(3) << false;
    QTest::newRow("the port in use") << "yes"
                                     << "COM3" << int(Dialogs::Ok) << false << quint16(3) << false;
    QTest::newRow("the station has the ports") << "yes"
                                               << "COM7" << int(Dialogs::Ok) << false << quint16(3) << true;
  }
  void gatewayArrivalOffersItsPort() {
    QFETCH(QString, detect);
    QFETCH(QString, tablePort);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(quint16, portAfter);
    QFETCH(bool, held);
    devices->table[0].instances[0].friendlyName = QStringLiteral("USB-SERIAL CH340 (%1)").arg(tablePort);
    w->ports.line(7);
    startOnCom3(detect);
    COM->manager->usbOffersHeld = held;
    w->dialogs.answerMessage(answer);

    w->usb.arrive(kGateway);
    w->clock.advance(10);

    QCOMPARE(w->dialogs.shown.size(), asked ? 1 : 0);
    if (asked) {
      const Dialogs::Message &box = w->dialogs.shown.first().message;
      QCOMPARE(box.text, QStringLiteral("Use COM7 for the gateway?"));
      QCOMPARE(box.caption, QStringLiteral("New USB port"));
      QCOMPARE(box.icon, Dialogs::Icon::None);
      QCOMPARE(box.buttons, Dialogs::Buttons::OkCancel);
    }
    const bool switched = portAfter != 3;
    QCOMPARE(COM->COM->ComNumber(), portAfter);
    QVERIFY(COM->COM->Open());
    QVERIFY(w->ports.line(portAfter).isOpen());
    QCOMPARE(COM->PortNumber->currentText(), QStringLiteral("COM%1").arg(portAfter));
    QCOMPARE(mainWindow->of(WM_COM_SETTINGS_CHANGED).size(), switched ? 1 : 0);
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("COM%1").arg(portAfter));
  }

  void removalTicksUntilAnArrival_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<States>("afterRemoval");
    QTest::newRow("not connected") << false << States{{0, 49}};
    QTest::newRow("connected") << true << States{{0, 49}, {1, 0}, {2, 0}, {3, 0}};
  }
  void removalTicksUntilAnArrival() {
    QFETCH(bool, connected);
    QFETCH(States, afterRemoval);
    startOnCom3(QStringLiteral("no"));
    COM->doComOpen = connected;
    mainWindow->seen.clear();

    w->usb.remove(kGateway);
    w->clock.advance(1600);
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE), afterRemoval);
    QVERIFY(log().contains(connected ? QStringLiteral("--- ") + kGateway
                                     : QStringLiteral("USBgo aber nicht connected also kein Timer starten")));
    if (!connected)
      return;

    const int opens = w->ports.line(3).openCount();
    mainWindow->seen.clear();
    w->usb.arrive(kGateway);
    w->clock.advance(1600);
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE).first(), (QPair<quint32, qint32>(0, 0)));
    QVERIFY(!mainWindow->of(WM_COM_WAIT_STATE).contains({4, 0}));
    QCOMPARE(w->ports.line(3).openCount(), opens + 1);
    QVERIFY(COM->COM->Open());

    // The counter is never set back: a later removal counts on.
    mainWindow->seen.clear();
    w->usb.remove(kGateway);
    w->clock.advance(600);
    QCOMPARE(mainWindow->of(WM_COM_WAIT_STATE), (States{{0, 49}, {4, 0}}));
  }
};

QTEST_MAIN(TestUsbHotPlug)
#include "test_usbhotplug.moc"
