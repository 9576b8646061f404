// The main window's receive handler and its handlers of the port manager's and the downloads'
// notifications.
#include "app/MainWindow.h"

#include "app/DelayWithMessages.h"
#include "app/ProgramWindows.h"
#include "gateway/GatewayLink.h"
#include "gateway/GatewayProtocol.h"
#include "platform/Log.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"

#include <QApplication>
#include <QPushButton>

GatewayLink *TForm1::link() {
  // The port belongs to the port manager, which exists from start-up on.
  if (!m_link) {
    m_link = new GatewayLink(COM->COM, this);
    m_link->setReport(this);
  }
  return m_link;
}

void TForm1::COMTriggerAvail(TSerialPort *sender, quint16 Count) {
  link()->COMTriggerAvail(sender, Count);
}

void TForm1::onWaitingForCom(quint32 wParam, qint32 lParam) {
  Log::line(QStringLiteral("MainForm.onWaitingForCom Msg.wparam %1 ms.lParam %2").arg(wParam).arg(lParam));
  waitingForCom = qint32(wParam);
  link()->setWaitingForCom(waitingForCom);
  Button1->setEnabled(lParam == Gateway::WaitState::Usable && !m_writing);
  if (lParam >= Gateway::WaitState::InUse)
    StatusBar1->setPanelText(0, QStringLiteral("offline"));
  if (lParam == Gateway::WaitState::InUse)
    plainMessage(QStringLiteral("Port COM%1 is in use by another application").arg(COM->COM->ComNumber()));
  if (lParam == Gateway::WaitState::NoPermission) {
    // Permission denied on this platform: say how to get the right.
    QString text =
        QStringLiteral("Port COM%1 cannot be used: ").arg(COM->COM->ComNumber()) + COM->COM->LastErrorText();
    const QString hint = TSerialPort::errorHint(SerialError::PermissionDenied);
    if (!text.contains(hint))
      text += QLatin1Char('\n') + hint;
    plainMessage(text);
  }
  StatusBar1->update(StatusBar1->panelRect(0));
  ProcessMessages();
}

void TForm1::onComSettingsChanged() {
  StatusBar1->setPanelText(0, QStringLiteral("COM%1").arg(COM->COM->ComNumber()));
}

void TForm1::onWriteReady(quint32 code) {
  Button1->setEnabled(!m_writing);
  while (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
  ScriptProgState->hide();
  switch (code) {
  case Gateway::WriteResult::BlockNotAcknowledged:
    Log::line(QStringLiteral("onWriteReady error"));
    Dialogs::instance().messageBox(this, {writeReadyMessage(code), windowTitle(), Dialogs::Icon::Error,
                                          Dialogs::Buttons::Ok, std::nullopt});
    StatusBar1->setPanelText(2, QStringLiteral("Error writing Script"));
    break;
  case Gateway::WriteResult::NoRestart:
    Dialogs::instance().messageBox(this, {writeReadyMessage(code), windowTitle(), Dialogs::Icon::Error,
                                          Dialogs::Buttons::Ok, std::nullopt});
    break;
  case Gateway::WriteResult::Success:
    if (!autoLoad)
      plainMessage(writeReadyMessage(code), ScriptProgState->pos());
    StatusBar1->setPanelText(2, QStringLiteral("Success"));
    break;
  default:
    break;
  }
}
