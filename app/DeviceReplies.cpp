// The main window's receive handler and its handlers of the port manager's and the downloads'
// notifications.
#include "app/Main.h"

#include "app/Globals.h"
#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "gateway/DownloadLink.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "seriallink/KV_Serial.h"
#include "windows/State.h"
#include "windows/StatusBar.h"
#include "windows/dProgress.h"

#include <QApplication>
#include <QPushButton>

namespace {
// The handler reads at most this many bytes per block.
const quint16 kBlockSize = 1000;
// The debug interface wants a pause before the program's answer.
const quint32 kDebugAnswerPauseMs = 100;
const quint8 kDebugAnswer = 0x4F; // "O"
// A gateway that never stops talking must not fill the memory or the log: the newest bytes are
// enough to find every reply, and a log line shows the end of the collected text.
const qsizetype kMaxCollected = 65536;
const qsizetype kMaxLogged = 2000;

QString tail(const QByteArray &bytes) {
  if (bytes.size() <= kMaxLogged)
    return QString::fromLatin1(bytes);
  return QStringLiteral("...") + QString::fromLatin1(bytes.right(kMaxLogged));
}

void log(const QString &line) {
  Log::line(line);
}
} // namespace

void TForm1::COMTriggerAvail(TSerialPort *sender, quint16 Count) {
  LastReceive = Clock::instance().tickCount();
  // More than one block's worth is read in further blocks, so nothing stays behind unread.
  QByteArray block;
  if (!sender->GetBlock(block, qMin(Count, kBlockSize)))
    return;
  RcvString += block;
  for (quint16 rest = Count - quint16(block.size()); rest > 0;) {
    QByteArray more;
    const quint16 take = qMin(rest, kBlockSize);
    if (!sender->GetBlock(more, take))
      break;
    RcvString += more;
    rest -= take;
  }
  if (RcvString.size() > kMaxCollected)
    RcvString.remove(0, RcvString.size() - kMaxCollected);

  log(QStringLiteral("RcvString ") + tail(RcvString));
  log(QStringLiteral("RcvString b[1] ") + QString::fromLatin1(block.left(1)));
  log(QStringLiteral("---------------- "));

  if (Datarec) {
    if (ContainsSubstringIgnoreCase(RcvString, QByteArray("I00000000000000")) && DebugReceived) {
      Datarec = false;
      IMessageCompleted = true;
      log(QStringLiteral("IMessage completed "));
    }
    if (!block.isEmpty() && block.at(0) == 0 && !DebugReceived) {
      log(QStringLiteral("Debug connected"));
      Clock::instance().sleep(kDebugAnswerPauseMs);
      sender->PutChar(kDebugAnswer);
      StatusBar1->setPanelText(2, QStringLiteral("Debug port connected"));
      DebugReceived = true;
    }
    if (ContainsSubstringIgnoreCase(RcvString, QByteArray("OKOK"))) {
      log(QStringLiteral("Application connected"));
      StatusBar1->setPanelText(2, QStringLiteral("Application port connected"));
      ProcessMessages();
      Datarec = false;
      RcvString.clear();
    }
  }
  log(QStringLiteral("Check config mode while debug connected ") + tail(RcvString));
  if (!Configset && ContainsSubstringIgnoreCase(RcvString, QByteArray("CC"))) {
    StatusBar1->setPanelText(2, QStringLiteral("Debug port and configuration mode!"));
    Configset = true;
    Datarec = false;
  }
  ProcessMessages();
}

void TForm1::onWaitingForCom(quint32 wParam, qint32 lParam) {
  log(QStringLiteral("MainForm.onWaitingForCom Msg.wparam %1 ms.lParam %2").arg(wParam).arg(lParam));
  waitingForCom = qint32(wParam);
  Button1->setEnabled(lParam == 0);
  if (lParam >= 50)
    StatusBar1->setPanelText(0, QStringLiteral("offline"));
  if (lParam == 50)
    plainMessage(QStringLiteral("Port COM%1 is in use by another application").arg(COM->COM->ComNumber()));
  if (lParam == 51) {
    // Permission denied on this platform: say how to get the right.
    QString text =
        QStringLiteral("Port COM%1 cannot be used: ").arg(COM->COM->ComNumber()) + COM->COM->LastErrorText();
    const QString hint = TSerialPort::errorHint(SerialError::PermissionDenied);
    if (!text.contains(hint))
      text += QLatin1Char('\n') + hint;
    plainMessage(text);
  }
  StatusBar1->update();
  ProcessMessages();
}

void TForm1::onComSettingsChanged() {
  StatusBar1->setPanelText(0, QStringLiteral("COM%1").arg(COM->COM->ComNumber()));
}

void TForm1::onWriteReady(quint32 code) {
  Button1->setEnabled(true);
  while (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
  ScriptProgState->hide();
  switch (code) {
  case WriteResult::BlockNotAcknowledged:
    log(QStringLiteral("onWriteReady error"));
    Dialogs::instance().messageBox(this, {QStringLiteral("Error writing script"), windowTitle(),
                                          Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
    StatusBar1->setPanelText(2, QStringLiteral("Error writing Script"));
    break;
  case WriteResult::NoRestart:
    Dialogs::instance().messageBox(this,
                                   {QStringLiteral("Device did not restart as expecetd."), windowTitle(),
                                    Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
    break;
  case WriteResult::Success:
    if (!autoLoad)
      plainMessage(QStringLiteral("Write Script success"), ScriptProgState->pos());
    StatusBar1->setPanelText(2, QStringLiteral("Success"));
    break;
  default:
    break;
  }
}
