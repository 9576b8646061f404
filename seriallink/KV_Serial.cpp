#include "seriallink/KV_Serial.h"

#include "app/DelayWithMessages.h"
#include "platform/Clock.h"
#include "platform/InstanceBus.h"
#include "platform/Log.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

TCOM::TCOM(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("COM"));
  setWindowTitle(QStringLiteral("COM"));

  COM = new TSerialPort(this);
  COM->SetComNumber(2);
  COM->SetBaud(9600);
  COM->SetPromptForPort(false);
  COM->SetInSize(32768);
  COM->SetOutSize(32768);
  COM->SetAutoOpen(false);
  COM->SetOnTriggerAvail([this](TSerialPort *cp, quint16 count) { COMTriggerAvail(cp, count); });

  kvSerialOptionCaption = new QWidget(this);
  kvSerialOptionCaption->setObjectName(QStringLiteral("kvSerialOptionCaption"));
  kvSerialOptionCaption->setWindowTitle(QStringLiteral("Serial port"));
  kvSerialOptionPortLabel = new QLabel(QStringLiteral("Port"), kvSerialOptionCaption);
  kvSerialOptionPortLabel->setObjectName(QStringLiteral("kvSerialOptionPortLabel"));
  PortNumber = new QComboBox(kvSerialOptionCaption);
  PortNumber->setObjectName(QStringLiteral("PortNumber"));
  PortNumber->setEditable(true);
  PortNumber->setMinimumWidth(160);
  ButtonFindDeviceOnPort = new QToolButton(kvSerialOptionCaption);
  ButtonFindDeviceOnPort->setObjectName(QStringLiteral("ButtonFindDeviceOnPort"));
  ButtonFindDeviceOnPort->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  ButtonFindDeviceOnPort->setToolTip(QStringLiteral("Find port where your device ist connected to"));
  connect(ButtonFindDeviceOnPort, &QToolButton::clicked, this, &TCOM::ButtonFindDeviceOnPortClick);

  auto *row = new QHBoxLayout;
  row->addWidget(PortNumber);
  row->addWidget(ButtonFindDeviceOnPort);
  row->addStretch();
  auto *page = new QVBoxLayout(kvSerialOptionCaption);
  page->addWidget(kvSerialOptionPortLabel);
  page->addLayout(row);
  page->addStretch();
  // The page lives in the settings dialog; its list is rebuilt whenever it is shown there.
  kvSerialOptionCaption->installEventFilter(this);

  TimerWaitingForCom = new ClockTimer(this);
  TimerWaitingForCom->setInterval(500);
  connect(TimerWaitingForCom, &ClockTimer::timeout, this, &TCOM::TimerWaitingForComTimer);
  TimerUsbCheck = new ClockTimer(this);
  TimerUsbCheck->setInterval(500);
  connect(TimerUsbCheck, &ClockTimer::timeout, this, &TCOM::TimerUsbCheckTimer);

  usbNotify = new TUsbNotifier(this);
  usbNotify->SetOnUsbArrival(
      [this](TUsbNotifier *sender, const QString &name) { onUsbArrival(sender, name); });
  usbNotify->SetOnUsbRemoval(
      [this](TUsbNotifier *sender, const QString &name) { onUsbRemoval(sender, name); });

  // Announcements arrive as the registered message, posted like any other window message.
  m_bus = InstanceBus::create(this);
  connect(m_bus, &InstanceBus::announced, this,
          [this](quint32 sender, qint32 port) { postMessage(this, BroadcastComMessage, sender, port); });
}

bool TCOM::eventFilter(QObject *watched, QEvent *event) {
  if (watched == kvSerialOptionCaption && event->type() == QEvent::Show)
    kvSerialOptionCaptionShow();
  return QWidget::eventFilter(watched, event);
}

void TCOM::log(const QString &line) {
  Log::line(line);
}

void TCOM::StandardSerialOptions() {
  m_line = LineSettings();
}

void TCOM::kvSerialOptionCaptionShow() {
  const QString shown = PortNumber->currentText();
  PortNumber->clear();
  PortNumber->setEditText(shown);
  PortNumber->addItem(QStringLiteral("offline"));
  ProcessMessages();
  for (quint16 n = 1; n <= 64; ++n)
    if (ProbeComPort(n))
      PortNumber->addItem(QStringLiteral("COM%1").arg(n));
  PortNumber->setEditText(shown);
}

void TCOM::ApplySettings() {
  try {
    COM->SetOnErrorEvent([this](TSerialPort *sender, qint32 code) { onComError(sender, code); });
    if (COM->Open())
      COM->SetOpen(false);
    const QString choice = PortNumber->currentText();
    if (choice == QLatin1String("offline"))
      return;
    if (choice.isEmpty()) {
      StandardSerialOptions();
      PortNumber->setEditText(QStringLiteral("offline"));
    } else {
      // Only the two characters after "COM" count: COM123 is port 12.
      bool ok = false;
      const int n = choice.mid(3, 2).toInt(&ok);
      if (!ok || n <= 0)
        throw std::runtime_error("no port number");
      COM->SetComNumber(quint16(n));
    }
    COM->SetBaud(m_line.baud);
    COM->SetStopBits(m_line.stopBits);
    COM->SetDataBits(m_line.dataBits);
    COM->SetParity(m_line.parity);
    COM->SetDTR(true);
    COM->SetRTS(false);
    if (!choice.isEmpty()) {
      COM->SetOpen(true);
      log(QStringLiteral("allysettings com.open "));
      if (COM->Open()) {
        log(QStringLiteral("allysettings com.open, nur stop, wenn auch true"));
        postMessage(callerHandle, WM_COM_WAIT_STATE, 0, 0);
        ProcessMessages();
      }
    }
  } catch (const std::exception &) {
    throw std::runtime_error("Error setting port options");
  }
}

void TCOM::COMTriggerAvail(TSerialPort *CP, quint16 Count) {
  log(QStringLiteral("KV_Serail ComTriggerAvail"));
  QByteArray bytes;
  if (!CP->GetBlock(bytes, Count))
    return;
  // The receive trace goes into the view directly, without trimming or scrolling.
  Log::trace(QStringLiteral("in: ") + QString::fromLatin1(bytes));
}

void TCOM::ResetTriggerAvail(TSerialPort *CP, quint16 Count) {
  QByteArray bytes;
  if (!CP->GetBlock(bytes, Count))
    return;
  StrWaitBuffer += bytes.toUpper();
  log(QStringLiteral("Reset Trigger ") + QString::fromLatin1(StrWaitBuffer));
}
