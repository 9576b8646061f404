// The main window's start-up sequence, its command line, and the entry points of the downloads and
// the settings dialog.
#include "app/MainWindow.h"

#include "app/CommandLine.h"
#include "app/DelayWithMessages.h"
#include "app/ProgramWindows.h"
#include "app/StationLaunch.h"
#include "common/WindowMessages.h"
#include "language/TranslationManager.h"
#include "platform/Display.h"
#include "platform/Log.h"
#include "platform/Process.h"
#include "ui/AboutWindow.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/VersionStrings.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include <algorithm>

namespace {
const QString kLineBreaks = QStringLiteral("\n\r\n\r");

void log(const QString &line) {
  Log::line(line);
}

// Whether the run ends by itself once its scripts are tried: a /F run where nobody sees the
// program, and every run with a script where the program found no display at all.
bool endsUnattended(const QStringList &commandLine) {
  if (!runsWithoutDisplay())
    return false;
  return std::any_of(commandLine.begin(), commandLine.end(), [](const QString &parameter) {
    const CommandLine::Kind kind = CommandLine::classify(parameter);
    return kind == CommandLine::Kind::File || (kind == CommandLine::Kind::ScriptPath && foundNoDisplay());
  });
}

// The download's posted result is handled before the process ends, so that its message reaches
// standard error and the log.
void endWith(QObject *window, int code) {
  QCoreApplication::sendPostedEvents(window, WindowMessageEvent::eventType());
  Process::instance().exitProcess(code);
}

// An unattended run that has not written its script ends with 2 (1 is "written") instead of
// staying open for a user who is not there.
void endUnattendedRun(QObject *window, const QStringList &commandLine) {
  if (endsUnattended(commandLine))
    endWith(window, 2);
}
} // namespace

void TForm1::plainMessage(const QString &text, std::optional<QPoint> position) {
  Dialogs::instance().messageBox(
      this, {text, QApplication::applicationName(), Dialogs::Icon::None, Dialogs::Buttons::Ok, position});
}

void TForm1::FormActivate() {
  if (!FirstActivation)
    return;
  FirstActivation = false;
  autoLoad = false;

  Options->setFieldBusName(QStringLiteral("Tamberlin"));
  Options->RegisterSheet(COM->kvSerialOptionCaption, QString());

  Options->language = language;
  COM->language = language;
  language->readDefaultLang();
  language->readFile(QString());
  language->initCaptions(COM, language->defaultLangStr);

  COM->callerHandle = handleOf(this);
  log(QStringLiteral("CALLER COM is : %1").arg(COM->callerHandle));

  HelpAbout->language = language;
  HelpAbout->setWindowIcon(windowIcon());
  HelpAbout->setContentFile(QStringLiteral("help.readme"));
  HelpAbout->setEulaText(QStringLiteral("help.eula"));
  HelpAbout->PageControlVersionInfo->setCurrentIndex(1);

  RestoreWindowPlacement();
  ScriptProgState->callerhandle = handleOf(this);
  Options->Read();

  COM->StandardSerialOptions();
  try {
    COM->ApplySettings();
  } catch (const std::exception &e) {
    log(QString::fromUtf8(e.what()));
    // Nobody could answer the settings dialog: it counts as cancelled.
    if (runsWithoutDisplay() || !Options->execute()) {
      endUnattendedRun(this, commandLine);
      return;
    }
    Options->Store();
  }

  COM->COM->SetOnTriggerAvail([this](TSerialPort *sender, quint16 count) { COMTriggerAvail(sender, count); });
  StatusBar1->setPanelText(0, Options->GetProp(QStringLiteral("PortNumber")));
  StatusBar1->setPanelText(1, QStringLiteral("V") + GetProductVersion());

  int level = 0;
  if (!commandLine.isEmpty() && !firstPass(level)) {
    endUnattendedRun(this, commandLine);
    return;
  }
  if (!secondPass(level))
    return;
  if (level >= 5)
    StatusFenster->show();
  if (stationAtStart)
    Station1Click();
}

bool TForm1::firstPass(int &level) {
  for (const QString &parameter : std::as_const(commandLine)) {
    switch (CommandLine::classify(parameter)) {
    case CommandLine::Kind::Level: {
      const auto value = CommandLine::level(parameter);
      if (!value) {
        Dialogs::instance().messageBox(
            this,
            {QStringLiteral("'%1' is not a valid integer value").arg(CommandLine::value(parameter)),
             QApplication::applicationName(), Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
        return false;
      }
      level = *value;
      break;
    }
    case CommandLine::Kind::Port: {
      log(QStringLiteral("Setting Port"));
      if (parameter.size() <= 2) {
        plainMessage(
            QStringLiteral(
                "Missing value for parameter for port, use /Px where x ist the number of the port.") +
            kLineBreaks + QStringLiteral("Example: /P5"));
        return false;
      }
      const auto n = CommandLine::port(parameter);
      if (!n) {
        plainMessage(
            QStringLiteral("Invalid parameter for port, use /Px where x ist the number of the port.") +
            kLineBreaks + QStringLiteral("Example: /P5"));
        return false;
      }
      COM->usePort(*n);
      StatusBar1->setPanelText(0, QStringLiteral("COM%1").arg(*n));
      break;
    }
    default:
      break;
    }
  }
  return true;
}

bool TForm1::secondPass(int level) {
  for (const QString &parameter : std::as_const(commandLine)) {
    switch (CommandLine::classify(parameter)) {
    case CommandLine::Kind::File: {
      log(QStringLiteral("Scritfile Name"));
      Dateiname.clear();
      if (parameter.size() > 2) {
        Dateiname = QDir::toNativeSeparators(CommandLine::value(parameter));
        Button1->setText(QStringLiteral("Download script   ") + Dateiname);
      }
      if (Dateiname.isEmpty()) {
        plainMessage(QStringLiteral("Missing filename for parameter /Ffilename.") + kLineBreaks +
                     QStringLiteral("Example: /FC:\\tmp\\dummy.qcs"));
        endUnattendedRun(this, commandLine);
        return false;
      }
      if (!QFileInfo::exists(Dateiname)) {
        plainMessage(QStringLiteral("File ") + Dateiname + QStringLiteral(" does not exist."));
        endUnattendedRun(this, commandLine);
        return false;
      }
      autoLoad = true;
      COM->COM->SetOpen(true);
      StatusBar1->setPanelText(0, QStringLiteral("COM%1").arg(COM->COM->ComNumber()));
      if (level > 5)
        StatusFenster->show();
      if (!programfile(Dateiname)) {
        COM->COM->SetOpen(false);
        break;
      }
      // A written script ends the run with 1, so that a calling program can tell.
      Process::instance().exitProcess(1);
      return false;
    }
    case CommandLine::Kind::ScriptPath:
      Dateiname = QDir::toNativeSeparators(parameter);
      Button1->setText(QStringLiteral("Download script   ") + Dateiname);
      if (!programfile(Dateiname)) {
        COM->COM->SetOpen(false);
        break;
      }
      // Without any display nobody could close the program: a written script ends it as /F does,
      // after its success message.
      if (foundNoDisplay()) {
        endWith(this, 1);
        return false;
      }
      break;
    default:
      break;
    }
  }
  // Every script of an unattended run failed: a written one has ended it.
  endUnattendedRun(this, commandLine);
  return true;
}

void TForm1::Options1Click() {
  if (m_station->locked()) {
    Dialogs::instance().messageBox(
        this, {QStringLiteral("The station is locked. Unlock it with its PIN in the station window "
                              "(File, Station...) to change the settings."),
               windowTitle(), Dialogs::Icon::Information, Dialogs::Buttons::Ok, std::nullopt});
    return;
  }
  Options->OptionPages->setCurrentWidget(COM->kvSerialOptionCaption);
  Options->setResult(0);
  if (Options->ShowModal() == 1) {
    try {
      COM->ApplySettings();
    } catch (const std::exception &e) {
      log(QString::fromUtf8(e.what()));
      // The choice is stored but not in use: the user has to know, and how to fix it.
      const QString text = QStringLiteral("The port choice \"%1\" cannot be used: %2")
                               .arg(COM->PortNumber->currentText(), QString::fromUtf8(e.what())) +
                           QStringLiteral("\nChoose \"offline\" or a port of the list in Settings.");
      Dialogs::instance().messageBox(
          this, {text, windowTitle(), Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
    }
  }
  StatusBar1->setPanelText(0, Options->GetProp(QStringLiteral("PortNumber")));
}
