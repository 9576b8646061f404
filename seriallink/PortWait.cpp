// The port manager's reactions to port failures: reopening the port and waiting for a port that
// has vanished until it is back.
#include "seriallink/KV_Serial.h"

#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "platform/Clock.h"
#include "platform/InstanceBus.h"
#include "platform/Log.h"

bool TCOM::event(QEvent *event) {
  if (WindowMessageEvent *message = asWindowMessage(event)) {
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
  return QWidget::event(event);
}

void TCOM::onComError(TSerialPort *, qint32 errorCode) {
  log(QStringLiteral("KV_Serial onComError Code: %1").arg(errorCode));
  if (!COM->LastErrorText().isEmpty())
    log(COM->LastErrorText());
  ProcessMessages();
  switch (errorCode) {
  case SerialError::AlreadyOpen:
    doComOpen = false;
    TimerWaitingForCom->setEnabled(false);
    log(QStringLiteral("Port wird von einer anderen App verwendet"));
    sendMessage(callerHandle, WM_COM_WAIT_STATE, 2, 50);
    break;
  case SerialError::PermissionDenied:
    // Waiting would never end: the user has to be given the right first. The owner says how.
    doComOpen = false;
    TimerWaitingForCom->setEnabled(false);
    log(QStringLiteral("Port darf nicht verwendet werden (dialout)"));
    sendMessage(callerHandle, WM_COM_WAIT_STATE, 2, 51);
    break;
  case SerialError::BadId:
    log(QStringLiteral("BadId - bad or unsupported ID - waiting for com"));
    sendMessage(this, WM_WAITING_FOR_COM, 4, 0);
    break;
  case SerialError::DeviceRead:
    log(QStringLiteral("DeviceRead - waiting for com send Msg 2, 0"));
    sendMessage(this, WM_WAITING_FOR_COM, 2, 0);
    break;
  case SerialError::DeviceWrite:
    if (reopenOnWriteError) {
      log(QStringLiteral("DeviceWrite - try to close and reopen com"));
      sendMessage(this, WM_REOPEN_COM, 0, 0);
    }
    break;
  default:
    log(QStringLiteral("some other error %1").arg(errorCode));
    sendMessage(this, WM_WAITING_FOR_COM, 3, 0);
    break;
  }
  ProcessMessages();
}

void TCOM::onWaitingForCom() {
  ++TimerWaitingForCom->tag;
  TimerWaitingForCom->setEnabled(true);
  sendMessage(callerHandle, WM_COM_WAIT_STATE, quint32(TimerWaitingForCom->tag), 0);
  ProcessMessages();
}

void TCOM::TimerWaitingForComTimer() {
  const bool present = ProbeComPort(COM->ComNumber());
  log(QStringLiteral("TimerWaitingForComTimer - portAvailable  %1").arg(COM->ComNumber()));
  log(QStringLiteral("TimerWaitingForComTimer - portAvailable  ") + BoolToText(present));
  if (present) {
    log(QStringLiteral("TimerWaitingForComTimer - port ist da"));
    log(QStringLiteral("Com wieder da - tag %1").arg(TimerWaitingForCom->tag));
    COM->SetOpen(false);
    log(QStringLiteral("sollte nun geschlossen sein und offen?  ") + BoolToText(COM->Open()));
    ProcessMessages();
    COM->SetOpen(true);
    TimerWaitingForCom->setEnabled(false);
    TimerWaitingForCom->tag = 0;
    ProcessMessages();
    log(QStringLiteral("und offen jetzt wieder offen  ") + BoolToText(COM->Open()));
    postMessage(callerHandle, WM_COM_WAIT_STATE, 0, 0);
  } else {
    log(QStringLiteral("Port ist nicht da - BLINK mit tag senden"));
    ++TimerWaitingForCom->tag;
    sendMessage(callerHandle, WM_COM_WAIT_STATE, quint32(TimerWaitingForCom->tag), 0);
    ProcessMessages();
    log(QStringLiteral("Sending broadcast %1").arg(callerHandle));
    announceWait();
  }
  ProcessMessages();
}

void TCOM::reOpenCom() {
  log(QStringLiteral("reOpenCom"));
  if (!ProbeComPort(COM->ComNumber()))
    return;
  doComOpen = true;
  log(QStringLiteral("com ist an sich da und offen? ") + BoolToText(COM->Open()));
  log(QStringLiteral("dann schließen"));
  COM->SetOpen(false);
  ProcessMessages();
  log(QStringLiteral("und wieder öffnen"));
  COM->SetOpen(true);
  log(QStringLiteral("ist com offen ") + BoolToText(COM->Open()));
}

void TCOM::announceWait() {
  const QString reason = m_bus->unavailableReason();
  if (!reason.isEmpty()) {
    // Without the bus every copy waits on its own; say so once, not at every tick.
    if (!m_busReported)
      log(QStringLiteral("Broadcast COM: ") + reason);
    m_busReported = true;
    return;
  }
  m_bus->announce(handleOf(this), qint32(COM->ComNumber()));
}

bool TCOM::DefaultHandler(WindowMessageEvent *Message) {
  if (Message->msg != BroadcastComMessage)
    return false;
  if (Message->wParam != handleOf(this)) {
    TWM_ComWaitMessage msg{Message->msg, Message->wParam, Message->lParam, 0};
    WM_ComWaitMessage(msg);
    Message->result = msg.Result;
    log(QStringLiteral("Und es war win anderer broadcast"));
  }
  return true;
}

void TCOM::WM_ComWaitMessage(TWM_ComWaitMessage &Msg) {
  log(QStringLiteral("App: %1 already --").arg(Msg.Handle));
  log(QStringLiteral("-- waiting on COM%1").arg(Msg.ComNumber));
  if (Msg.ComNumber != qint32(COM->ComNumber()))
    return;
  log(QStringLiteral("Waiting on the same COM - getting offline"));
  TimerWaitingForCom->setEnabled(false);
  postMessage(callerHandle, WM_COM_WAIT_STATE, 2, 60);
  ProcessMessages();
}
