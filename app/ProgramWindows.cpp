#include "app/ProgramWindows.h"

#include "app/MainWindow.h"
#include "platform/Display.h"
#include "platform/QtDialogs.h"
#include "ui/AboutWindow.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"
#include "ui/StateWindow.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

TForm1 *Form1 = nullptr;
TScriptProgState *ScriptProgState = nullptr;
TOptions *Options = nullptr;
TCOM *COM = nullptr;
TStatusFenster *StatusFenster = nullptr;
THelpAbout *HelpAbout = nullptr;
TProgress *Progress = nullptr;

void createWindows() {
  // Without a test's dialogs, the program asks the user on the desktop; where nobody sees it, the
  // default dialogs answer with the default buttons instead of waiting for ever.
  static QtDialogs desktop;
  Dialogs::setDefault(runsWithoutDisplay() ? nullptr : &desktop);
  Form1 = new TForm1;
  ScriptProgState = new TScriptProgState;
  Options = new TOptions;
  COM = new TCOM;
  StatusFenster = new TStatusFenster;
  HelpAbout = new THelpAbout;
  Progress = new TProgress;
  Progress->centreOn = Form1;
}

void destroyWindows() {
  delete Progress;
  Progress = nullptr;
  delete HelpAbout;
  HelpAbout = nullptr;
  delete StatusFenster;
  StatusFenster = nullptr;
  delete COM;
  COM = nullptr;
  delete Options;
  Options = nullptr;
  delete ScriptProgState;
  ScriptProgState = nullptr;
  delete Form1;
  Form1 = nullptr;
}
