#include "gateway/PortManager.h"

#include "gateway/PortSearch.h"
#include "gateway/UsbNotifier.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include <stdexcept>

PortManager::PortManager(QObject *parent) : QObject(parent) {
  setObjectName(QStringLiteral("PortManager"));
  // The handle is the manager's identity among the copies' managers: fixed from creation on, so
  // that the tie-break between two waiting copies does not depend on who announced first.
  handleOf(this);

  COM = new TSerialPort(this);
  COM->SetComNumber(2);
  COM->SetBaud(9600);
  COM->SetPromptForPort(false);
  COM->SetInSize(32768);
  COM->SetOutSize(32768);
  COM->SetAutoOpen(false);
  COM->SetOnTriggerAvail([this](TSerialPort *cp, quint16 count) { COMTriggerAvail(cp, count); });
  search = new PortSearch(COM, this);

  TimerWaitingForCom = new ClockTimer(this);
  TimerWaitingForCom->setInterval(500);
  connect(TimerWaitingForCom, &ClockTimer::timeout, this, &PortManager::TimerWaitingForComTimer);
  TimerUsbCheck = new ClockTimer(this);
  TimerUsbCheck->setInterval(500);
  connect(TimerUsbCheck, &ClockTimer::timeout, this, &PortManager::TimerUsbCheckTimer);

  usbNotify = new TUsbNotifier(this);
  usbNotify->SetOnUsbArrival(
      [this](TUsbNotifier *sender, const QString &name) { onUsbArrival(sender, name); });
  usbNotify->SetOnUsbRemoval(
      [this](TUsbNotifier *sender, const QString &name) { onUsbRemoval(sender, name); });

  m_bus = InstanceBus::create(this);
  connect(m_bus, &InstanceBus::announced, this, &PortManager::onAnnounced);
}

InstanceId PortManager::identity() const {
  return m_bus->identity(handleOf(const_cast<PortManager *>(this)));
}

void PortManager::log(const QString &line) {
  if (logLine)
    logLine(line);
  else
    Log::line(line);
}

std::optional<QString> PortManager::translate(const QString &key) const {
  return front.translate ? front.translate(key) : std::nullopt;
}

void PortManager::tellOwner(Delivery how, quint32 counter, qint32 state) {
  m_ownerCounter = counter;
  if (how == Delivery::Send)
    sendMessage(callerHandle, WM_COM_WAIT_STATE, counter, state);
  else
    postMessage(callerHandle, WM_COM_WAIT_STATE, counter, state);
}

bool PortManager::event(QEvent *event) {
  if (WindowMessageEvent *message = asWindowMessage(event); message && dispatch(message))
    return true;
  return QObject::event(event);
}

bool PortManager::dispatch(WindowMessageEvent *message) {
  switch (message->msg) {
  case WM_WAITING_FOR_COM:
    onWaitingForCom();
    return true;
  case WM_REOPEN_COM:
    reOpenCom();
    return true;
  default:
    return DefaultHandler(message);
  }
}

void PortManager::StandardSerialOptions() {
  m_line = LineSettings();
}

void PortManager::ApplySettings(const QString &choice) {
  try {
    applyChoice(choice);
  } catch (const std::exception &) {
    throw std::runtime_error("Error setting port options");
  }
}

void PortManager::applyChoice(const QString &choice) {
  COM->SetOnErrorEvent([this](TSerialPort *sender, qint32 code) { onComError(sender, code); });
  if (COM->Open())
    COM->SetOpen(false);
  if (choice == QLatin1String("offline"))
    return;
  if (choice.isEmpty()) {
    StandardSerialOptions();
    if (front.showChoice)
      front.showChoice(QStringLiteral("offline"));
  } else {
    const std::optional<quint16> n = portOfChoice(choice);
    if (!n)
      throw std::runtime_error("no port number");
    COM->SetComNumber(*n);
  }
  applyLine();
  if (!choice.isEmpty())
    openChosenPort();
}

std::optional<quint16> PortManager::portOfChoice(const QString &choice) {
  // Only the two characters after "COM" count: COM123 is port 12.
  bool ok = false;
  const int n = choice.mid(3, 2).toInt(&ok);
  return ok && n > 0 ? std::optional<quint16>(quint16(n)) : std::nullopt;
}

void PortManager::applyLine() {
  COM->SetBaud(m_line.baud);
  COM->SetStopBits(m_line.stopBits);
  COM->SetDataBits(m_line.dataBits);
  COM->SetParity(m_line.parity);
  COM->SetDTR(true);
  COM->SetRTS(false);
}

void PortManager::openChosenPort() {
  COM->SetOpen(true);
  log(QStringLiteral("allysettings com.open "));
  // A port that did not open has been reported to onComError already.
  if (COM->Open()) {
    log(QStringLiteral("allysettings com.open, nur stop, wenn auch true"));
    tellOwner(Delivery::Post, 0, 0);
  }
}

void PortManager::openPort(quint16 n) {
  COM->SetOnErrorEvent([this](TSerialPort *sender, qint32 code) { onComError(sender, code); });
  if (COM->Open())
    COM->SetOpen(false);
  COM->SetComNumber(n);
  applyLine();
  openChosenPort();
}

void PortManager::usePort(quint16 n) {
  // The owner still shows a wait or a stop for the old port: the program wanted a port open.
  const bool wanted = TimerWaitingForCom->isActive() || m_ownerCounter != 0;
  TimerWaitingForCom->setEnabled(false);
  TimerWaitingForCom->tag = 0;
  COM->SetComNumber(n);
  if (!wanted)
    return;
  if (!COM->Open())
    COM->SetOpen(true);
  // Sent, not posted: a download that starts next must see the owner's counter at 0.
  if (COM->Open())
    tellOwner(Delivery::Send, 0, 0);
}

void PortManager::COMTriggerAvail(TSerialPort *CP, quint16 Count) {
  log(QStringLiteral("KV_Serail ComTriggerAvail"));
  QByteArray bytes;
  if (!CP->GetBlock(bytes, Count))
    return;
  // The receive trace goes into the view directly, without trimming or scrolling.
  Log::trace(QStringLiteral("in: ") + QString::fromLatin1(bytes));
}
