// The "Write Script" button: find the gateway, tell its interfaces apart and start the matching
// download, or tell the user what to do.
#include "app/Main.h"

#include "app/Globals.h"
#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "seriallink/KV_Serial.h"
#include "settings/KV_Options.h"
#include "windows/State.h"
#include "windows/StatusBar.h"
#include "windows/uProgress.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace {
const quint8 kSearch = 0x14;
const quint32 kFirstPauseMs = 100;
const quint32 kSearchIntervalMs = 300;
const quint32 kSearchLimitMs = 10000;
const quint32 kAfterRestartLimitMs = 10000;
// The debug interface sends its greeting right after the answer; a gateway that does not within
// this time will not.
const quint32 kGreetingLimitMs = 10000;

void log(const QString &line) {
  Log::line(line);
}

} // namespace

void TForm1::Button1Click() {
  const QString port = Options->GetProp(QStringLiteral("PortNumber"));
  if (port == QLatin1String("offline") || port.isEmpty()) {
    Dialogs::instance().messageBox(
        this,
        {QStringLiteral("No port selected! Please check your settings and try again."),
         QStringLiteral("Configuration problem"), Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
    return;
  }
  if (!COM->COM->Open())
    COM->COM->SetOpen(true);
  if (Dateiname.isEmpty()) {
    const QString path = Dialogs::instance().openFile(this, OpenDialog);
    if (path.isEmpty())
      return;
    Dateiname = path;
    Button1->setText(QStringLiteral("Download Script - ") + path);
  }

  Button1->setEnabled(false);
  Configset = false;
  RcvString.clear();
  Datarec = true;
  DebugReceived = false;
  IMessageCompleted = false;

  Progress->setWindowTitle(QString());
  Progress->lAction->setText(QStringLiteral("Searching device"));
  QFont font = Progress->lAction->font();
  font.setPointSize(8);
  Progress->lAction->setFont(font);
  Progress->ProgressBar1->setRange(0, 0);
  const QRect main = frameGeometry();
  Progress->xpos = main.left() + main.width() / 3;
  Progress->ypos = main.top() + main.height() / 2;
  Progress->doPositioning();
  Progress->show();

  COM->COM->PutChar(kSearch);
  DelayWithMessages(kFirstPauseMs);
  Clock &clock = Clock::instance();
  const quint64 searchStart = clock.nowMs();
  do {
    ProcessMessages();
    COM->COM->PutChar(kSearch);
    DelayWithMessages(kSearchIntervalMs);
  } while (Datarec && clock.nowMs() - searchStart < kSearchLimitMs);
  Progress->hide();

  if (Datarec) {
    StatusBar1->setPanelText(2, QStringLiteral("Not connected"));
    ProcessMessages();
    if (Dialogs::instance().messageBox(this, {QStringLiteral("Restart KORVANE and confirm."), windowTitle(),
                                              Dialogs::Icon::None, Dialogs::Buttons::Ok, std::nullopt}) ==
        Dialogs::Ok) {
      COM->COM->PutChar(kSearch);
      DelayWithMessages(kFirstPauseMs);
      WaitWithMessages(
          [this] { return ContainsSubstringIgnoreCase(RcvString, QByteArray("OKOK")) || !Datarec; },
          kAfterRestartLimitMs);
    }
  }
  ProcessMessages();

  if (Datarec) {
    StatusBar1->setPanelText(2, QStringLiteral("Device not found"));
    Dialogs::instance().messageBox(
        this, {QStringLiteral("No data received,\r\ncheck device is in configuration "
                              "mode,\r\nthe serial port set and connection."),
               windowTitle(), Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
    Button1->setEnabled(true);
    return;
  }

  if (!DebugReceived) {
    ProcessMessages();
    log(QStringLiteral("Program file Config"));
    programfile(Dateiname);
  } else {
    ProcessMessages();
    if (Configset) {
      Dialogs::instance().messageBox(
          this, {QStringLiteral("Device connected to debug but started in configuration "
                                "mode!\r\nSet Device to run mode and try again"),
                 windowTitle(), Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
      Button1->setEnabled(true);
      return;
    }
    // A search that "OKOK" ended can no longer see the greeting: wait for it, but not forever.
    if (!WaitWithMessages([this] { return IMessageCompleted; }, kGreetingLimitMs)) {
      StatusBar1->setPanelText(2, QStringLiteral("Device not found"));
      Dialogs::instance().messageBox(
          this, {QStringLiteral("The gateway's debug interface answered but did not complete its greeting. "
                                "Restart KORVANE and try again."),
                 windowTitle(), Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
      Button1->setEnabled(true);
      return;
    }
    log(QStringLiteral("Program file Debug"));
    programfileDebug(Dateiname);
  }

  RcvString.clear();
  Button1->setEnabled(true);
  while (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
}
