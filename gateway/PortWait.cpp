// The port manager's reactions to port failures: reopening the port, waiting for a port that has
// vanished until it is back, and settling with other running copies which one keeps waiting.
#include "gateway/GatewayProtocol.h"
#include "gateway/PortManager.h"

#include "common/TextUtils.h"
#include "platform/Clock.h"

#include <QCoreApplication>

namespace {
// "Broadcast COM" with the whole identity of its sender; the window message's two parameters
// carry only the handle and the port.
class BroadcastComEvent : public WindowMessageEvent {
public:
  BroadcastComEvent(quint64 senderProcess, quint32 senderHandle, qint32 port)
      : WindowMessageEvent(PortManager::BroadcastComMessage, senderHandle, port),
        senderProcess(senderProcess) {}
  const quint64 senderProcess;
};

quint64 senderProcessOf(const WindowMessageEvent *message) {
  const auto *broadcast = dynamic_cast<const BroadcastComEvent *>(message);
  return broadcast ? broadcast->senderProcess : 0;
}
} // namespace

void PortManager::onComError(TSerialPort *, qint32 errorCode) {
  log(QStringLiteral("KV_Serial onComError Code: %1").arg(errorCode));
  if (!COM->LastErrorText().isEmpty())
    log(COM->LastErrorText());
  switch (portFailureOf(errorCode)) {
  case PortFailure::InUse:
    stopWaiting(QStringLiteral("Port wird von einer anderen App verwendet"), Gateway::WaitState::InUse);
    break;
  case PortFailure::NoPermission:
    // Waiting would never end: the user has to be given the right first. The owner says how.
    stopWaiting(QStringLiteral("Port darf nicht verwendet werden (dialout)"),
                Gateway::WaitState::NoPermission);
    break;
  case PortFailure::Missing:
    log(QStringLiteral("BadId - bad or unsupported ID - waiting for com"));
    sendMessage(this, WM_WAITING_FOR_COM, 4, 0);
    break;
  case PortFailure::ReadFailed:
    log(QStringLiteral("DeviceRead - waiting for com send Msg 2, 0"));
    sendMessage(this, WM_WAITING_FOR_COM, 2, 0);
    break;
  case PortFailure::WriteFailed:
    if (reopenOnWriteError) {
      log(QStringLiteral("DeviceWrite - try to close and reopen com"));
      sendMessage(this, WM_REOPEN_COM, 0, 0);
    }
    break;
  case PortFailure::Other:
    log(QStringLiteral("some other error %1").arg(errorCode));
    sendMessage(this, WM_WAITING_FOR_COM, 3, 0);
    break;
  }
}

void PortManager::stopWaiting(const QString &reason, qint32 state) {
  doComOpen = false;
  TimerWaitingForCom->setEnabled(false);
  log(reason);
  tellOwner(Delivery::Send, 2, state);
}

void PortManager::onWaitingForCom() {
  ++TimerWaitingForCom->tag;
  TimerWaitingForCom->setEnabled(true);
  tellOwner(Delivery::Send, quint32(TimerWaitingForCom->tag), 0);
}

void PortManager::TimerWaitingForComTimer() {
  const bool present = ProbeComPort(COM->ComNumber());
  log(QStringLiteral("TimerWaitingForComTimer - portAvailable  %1").arg(COM->ComNumber()));
  log(QStringLiteral("TimerWaitingForComTimer - portAvailable  ") + BoolToText(present));
  if (present)
    reopenAfterWait();
  else
    blinkAndAnnounce();
}

void PortManager::reopenAfterWait() {
  log(QStringLiteral("TimerWaitingForComTimer - port ist da"));
  log(QStringLiteral("Com wieder da - tag %1").arg(TimerWaitingForCom->tag));
  COM->SetOpen(false);
  log(QStringLiteral("sollte nun geschlossen sein und offen?  ") + BoolToText(COM->Open()));
  COM->SetOpen(true);
  const bool open = COM->Open();
  log(QStringLiteral("und offen jetzt wieder offen  ") + BoolToText(open));
  // A port that is back but did not open (held by another program) has been reported by its own
  // code: it either stopped the wait or goes on waiting. Only an open port ends the wait.
  if (!open)
    return;
  TimerWaitingForCom->setEnabled(false);
  TimerWaitingForCom->tag = 0;
  tellOwner(Delivery::Post, 0, 0);
}

void PortManager::blinkAndAnnounce() {
  log(QStringLiteral("Port ist nicht da - BLINK mit tag senden"));
  ++TimerWaitingForCom->tag;
  tellOwner(Delivery::Send, quint32(TimerWaitingForCom->tag), 0);
  log(QStringLiteral("Sending broadcast %1").arg(callerHandle));
  announceWait();
}

void PortManager::reOpenCom() {
  log(QStringLiteral("reOpenCom"));
  if (!ProbeComPort(COM->ComNumber()))
    return;
  doComOpen = true;
  log(QStringLiteral("com ist an sich da und offen? ") + BoolToText(COM->Open()));
  log(QStringLiteral("dann schließen"));
  COM->SetOpen(false);
  log(QStringLiteral("und wieder öffnen"));
  COM->SetOpen(true);
  log(QStringLiteral("ist com offen ") + BoolToText(COM->Open()));
}

void PortManager::announceWait() {
  const QString reason = m_bus->unavailableReason();
  if (!reason.isEmpty()) {
    // Without the bus every copy waits on its own; say so once, not at every tick.
    if (!m_busReported)
      log(QStringLiteral("Broadcast COM: ") + reason);
    m_busReported = true;
    return;
  }
  m_bus->announce(identity(), qint32(COM->ComNumber()));
}

void PortManager::onAnnounced(quint64 senderProcess, quint32 senderHandle, qint32 port) {
  // Announcements arrive as the registered message, posted like any other window message.
  QCoreApplication::postEvent(this, new BroadcastComEvent(senderProcess, senderHandle, port));
}

bool PortManager::DefaultHandler(WindowMessageEvent *Message) {
  if (Message->msg != BroadcastComMessage)
    return false;
  const InstanceId sender{senderProcessOf(Message), Message->wParam};
  if (sender != identity()) {
    TWM_ComWaitMessage msg{Message->msg, Message->wParam, Message->lParam, 0, sender};
    WM_ComWaitMessage(msg);
    Message->result = msg.Result;
    log(QStringLiteral("Und es war win anderer broadcast"));
  }
  return true;
}

void PortManager::WM_ComWaitMessage(TWM_ComWaitMessage &Msg) {
  log(QStringLiteral("App: %1 already --").arg(Msg.Handle));
  log(QStringLiteral("-- waiting on COM%1").arg(Msg.ComNumber));
  if (Msg.ComNumber != qint32(COM->ComNumber()))
    return;
  // Two copies that start waiting together hear each other: if both gave way, nobody would wait.
  // The one whose identity orders first keeps waiting.
  if (TimerWaitingForCom->isActive() && identity() < Msg.Sender) {
    log(QStringLiteral("Waiting on the same COM - this copy keeps waiting"));
    return;
  }
  log(QStringLiteral("Waiting on the same COM - getting offline"));
  TimerWaitingForCom->setEnabled(false);
  tellOwner(Delivery::Post, 2, Gateway::WaitState::OtherCopyWaits);
}
