// The "Write Script" button: checks the port choice and the script, then lets the gateway layer
// find the gateway, tell its interfaces apart and write the script, while the window shows it.
#include "app/MainWindow.h"

#include "app/ProgramWindows.h"
#include "app/WindowTrace.h"
#include "gateway/GatewayLink.h"
#include "gateway/WriteScriptJob.h"
#include "ui/SearchWindow.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

void TForm1::Button1Click() {
  // The button is disabled while the workflow runs, but a click may already be queued.
  if (m_writing)
    return;
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

  WriteScriptJob job(*link(), Dateiname, port);
  job.reopenOnWriteError = &COM->reopenOnWriteError;
  WindowTrace trace(*link(), QStringLiteral("COM%1").arg(COM->COM->ComNumber()), Dateiname);
  runToEnd(job.run());
  trace.finish();
}

void TForm1::showSearchWindow() {
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
}
