// Saves a PNG of each of the program's windows as it looks, so the interface can be looked at
// without a display: tamberlin-screenshots <folder>
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "ui/AboutWindow.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char *argv[]) {
  // A throw-away settings folder: looking at the windows must not change the user's settings.
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tamberlin"));
  QTextStream err(stderr);
  if (argc != 2 || QString::fromLocal8Bit(argv[1]).startsWith(QLatin1Char('-'))) {
    err << "usage: tamberlin-screenshots <folder>\n";
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(folder)) {
    err << "cannot create " << folder << "\n";
    return 1;
  }

  createWindows();
  // The windows as the start-up sequence leaves them (no port chosen), then sample contents.
  Form1->commandLine.clear();
  Form1->FormActivate();
  Form1->StatusBar1->setPanelText(0, QStringLiteral("COM3"));
  Form1->StatusBar1->setPanelText(2, QStringLiteral("Application port connected"));
  ScriptProgState->Label1->setText(QStringLiteral("Programming"));
  ScriptProgState->ProgressBar1->setMaximum(100);
  ScriptProgState->ProgressBar1->setValue(40);
  ScriptProgState->ProgressBar1->show();
  ScriptProgState->setTransfer(6554, 16384, 13650);
  for (const char *line : {"CALLER COM is : 65537", "Setting Port", "RcvString OKOK", "programming"})
    StatusFenster->logStringOnly(QString::fromLatin1(line));
  Progress->setWindowTitle(QString());
  Progress->lAction->setText(QStringLiteral("Searching device"));
  Progress->ProgressBar1->setRange(0, 0);

  const QList<QPair<QWidget *, QString>> windows = {
      {Form1, "main"},     {ScriptProgState, "script-program-state"}, {Options, "settings"},
      {COM, "com"},        {StatusFenster, "state-window"},           {HelpAbout, "about"},
      {Progress, "search"}};
  int failures = 0;
  for (const auto &[window, name] : windows) {
    window->show();
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
    if (window->grab().save(path)) {
      QTextStream(stdout) << path << "\n";
    } else {
      err << "cannot write " << path << "\n";
      ++failures;
    }
    window->hide();
  }
  return failures == 0 ? 0 : 1;
}
