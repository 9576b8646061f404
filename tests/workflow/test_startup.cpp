#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/Display.h"
#include "platform/SettingsFile.h"
#include "ui/AboutWindow.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include "tests/support/Workflow.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {
const QString kSheetKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption");
}

class TestStartUp : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;

  SimGateway &gateway(quint16 port, KorvaneSim::Config config = {}) {
    config.restartMs = 1000;
    return w->ports.gateway(port, config);
  }

  // The gateway on COM7 with a row's fault: "noDot" (no dot after line 192), "noRestart" or none.
  SimGateway &faultyGateway(const QString &fault) {
    KorvaneSim::Config config;
    if (fault == QLatin1String("noDot"))
      config.faults.skipDotAfter = {192};
    config.faults.noRestart = fault == QLatin1String("noRestart");
    return gateway(7, config);
  }

  // A row's parameters with "<script>" standing for the script file.
  static QStringList withScript(QStringList parameters, const QString &script) {
    for (QString &p : parameters)
      p.replace(QStringLiteral("<script>"), script);
    return parameters;
  }

private slots:
  void init() { w = new Workflow; }
  void cleanup() { delete w; }

  void noParametersShowsStoredPortAndVersion() {
    w->ports.line(3);
    w->storePort(QStringLiteral("COM3"));
    w->startUp();
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("COM3"));
    QVERIFY(Form1->StatusBar1->panelText(1).startsWith(QStringLiteral("V")));
    QVERIFY(Form1->StatusBar1->panelText(1).size() > 1);
    QVERIFY(COM->COM->Open());
    QCOMPARE(COM->COM->ComNumber(), quint16(3));
    QVERIFY(StatusFenster->isHidden());
    QVERIFY(w->dialogs.shown.isEmpty());
    QVERIFY(w->process.exitCodes.isEmpty());
    // The port sheet is a page of the settings dialog; its owner still reaches its controls.
    QVERIFY(Options->OptionPages->indexOf(COM->kvSerialOptionCaption) >= 0);
    // The windows share the one translator; the about window opens on its second page.
    QVERIFY(Form1->language);
    QCOMPARE(Options->language, Form1->language);
    QCOMPARE(COM->language, Form1->language);
    QCOMPARE(HelpAbout->language, Form1->language);
    QCOMPARE(HelpAbout->PageControlVersionInfo->currentIndex(), 1);
    QCOMPARE(ScriptProgState->callerhandle, handleOf(Form1));
  }

  // /P works in the first pass, so the order does not matter; the stored setting stays.
  void portParameterChoosesThePortForTheDownload_data() {
    QTest::addColumn<bool>("portFirst");
    QTest::newRow("/P7 /F") << true;
    QTest::newRow("/F /P7") << false;
  }
  void portParameterChoosesThePortForTheDownload() {
    QFETCH(bool, portFirst);
    SimGateway &g = gateway(7);
    w->ports.line(3);
    w->storePort(QStringLiteral("COM3"));
    const QByteArray bytes = w->pattern(300);
    const QString path = w->script(bytes);
    const QStringList parameters =
        portFirst ? QStringList{"/P7", "/F" + path} : QStringList{"/F" + path, "/P7"};
    w->startUp(parameters);
    QCOMPARE(w->process.exitCodes, QList<int>{1});
    QVERIFY(g.sim().lastDownload().script == bytes);
    QVERIFY(w->ports.line(3).received().isEmpty());
    QCOMPARE(SettingsFile(w->settingsPath()).value(kSheetKey, QStringLiteral("PortNumber"))->string,
             QStringLiteral("COM3"));
    // No success box after a /F download.
    QVERIFY(!w->dialogs.messageTexts().contains(QStringLiteral("Write Script success")));
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("COM7"));
  }

  void storedOfflineStillRefusesTheDownload() {
    gateway(7);
    w->storePort(QStringLiteral("offline"));
    w->startUp({"/P7", "/F" + w->script(w->pattern(10))});
    QVERIFY(w->process.exitCodes.isEmpty());
    QVERIFY(w->dialogs.messageTexts().contains(
        QStringLiteral("No port selected! Please check your settings and try again.")));
    QVERIFY(!COM->COM->Open());
  }

  void failedFileDownloadLeavesTheProgramRunningWithThePortClosed() {
    KorvaneSim::Config config;
    config.faults.noRestart = true;
    gateway(3, config);
    w->storePort(QStringLiteral("COM3"));
    w->startUp({"/F" + w->script(w->pattern(100))});
    w->clock.advance(100);
    QVERIFY(w->process.exitCodes.isEmpty());
    QVERIFY(!COM->COM->Open());
    QVERIFY(Form1->autoLoad);
    QVERIFY(w->dialogs.messageTexts().contains(QStringLiteral("Device did not restart as expecetd.")));
  }

  // A bare path is written in the case in which it was typed, and the program keeps running.
  void barePathsKeepTheirCaseAndShowTheSuccessBox() {
    SimGateway &g = gateway(3);
    w->storePort(QStringLiteral("COM3"));
    const QByteArray bytes = w->pattern(50);
    const QString path = w->script(bytes, QStringLiteral("MixedCase.qcs"));
    QVERIFY(path.startsWith(QLatin1Char('/'))); // also: an absolute path is not a switch
    w->startUp({path});
    w->clock.advance(100);
    QVERIFY(g.sim().lastDownload().script == bytes);
    QCOMPARE(Form1->Dateiname, path);
    QCOMPARE(Form1->Button1->text(), QStringLiteral("Download script   ") + path);
    QVERIFY(w->process.exitCodes.isEmpty());
    QVERIFY(w->dialogs.messageTexts().contains(QStringLiteral("Write Script success")));
  }

  // A bare absolute path that is missing is a path like any other, not an unknown switch.
  void missingBareAbsolutePathIsReported() {
    gateway(3);
    w->storePort(QStringLiteral("COM3"));
    const QString path = w->script(w->pattern(10)) + QStringLiteral(".gone");
    w->startUp({path});
    w->clock.advance(2000);
    QCOMPARE(w->dialogs.messageTexts(), QStringList{QStringLiteral("File %1 does not exist!").arg(path)});
    QCOMPARE(w->writeReady, QList<quint32>{99});
  }

  void stateWindowLevel_data() {
    QTest::addColumn<QString>("level");
    QTest::addColumn<bool>("shownDuringDownload");
    QTest::addColumn<bool>("shownAtEnd");
    QTest::newRow("/L6 before the download") << "/L6" << true << true;
    QTest::newRow("/L5 at the end") << "/L5" << false << true;
    QTest::newRow("/L4 never") << "/L4" << false << false;
  }
  void stateWindowLevel() {
    QFETCH(QString, level);
    KorvaneSim::Config config;
    config.faults.silent = true; // the download fails, so start-up runs to its end
    gateway(3, config);
    w->storePort(QStringLiteral("COM3"));
    bool shownDuringDownload = false;
    connect(&w->ports.line(3), &SimLine::bytesFromProgram, this,
            [&] { shownDuringDownload = shownDuringDownload || StatusFenster->isVisible(); });
    w->startUp({level, "/F" + w->script(w->pattern(10))});
    QTEST(shownDuringDownload, "shownDuringDownload");
    QTEST(StatusFenster->isVisible(), "shownAtEnd");
  }

  void badParametersStopTheSequence_data() {
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<QString>("message");
    const QString crlf = QStringLiteral("\n\r\n\r");
    QTest::newRow("/P alone")
        << QStringList{"/P", "/Fx.qcs"}
        << "Missing value for parameter for port, use /Px where x ist the number of the port." + crlf +
               "Example: /P5";
    QTest::newRow("/P not a number")
        << QStringList{"/Pabc"}
        << "Invalid parameter for port, use /Px where x ist the number of the port." + crlf + "Example: /P5";
    QTest::newRow("/P0") << QStringList{"/P0"}
                         << "Invalid parameter for port, use /Px where x ist the number of the port." + crlf +
                                "Example: /P5";
    QTest::newRow("/L not a number") << QStringList{"/Lxyz", "/L6"} << "'xyz' is not a valid integer value";
    QTest::newRow("/F alone") << QStringList{"/F"}
                              << "Missing filename for parameter /Ffilename." + crlf +
                                     "Example: /FC:\\tmp\\dummy.qcs";
    QTest::newRow("/F missing file") << QStringList{"/Fnot-there.qcs"}
                                     << "File not-there.qcs does not exist.";
  }
  void badParametersStopTheSequence() {
    QFETCH(QStringList, parameters);
    QFETCH(QString, message);
    SimGateway &g = gateway(3);
    w->storePort(QStringLiteral("COM3"));
    w->startUp(parameters + QStringList{"/L9"});
    QCOMPARE(w->dialogs.messageTexts(), QStringList{message});
    QCOMPARE(g.sim().downloadsStarted(), 0);
    QVERIFY(StatusFenster->isHidden()); // the sequence stopped before step 14
    QVERIFY(w->process.exitCodes.isEmpty());
    QVERIFY(Form1->isEnabled());
  }

  void unknownSwitchesAreSkipped() {
    SimGateway &g = gateway(3);
    w->storePort(QStringLiteral("COM3"));
    w->startUp({"/X", "/quiet"});
    QVERIFY(w->dialogs.shown.isEmpty());
    QCOMPARE(g.sim().downloadsStarted(), 0);
  }

  // The "Settings" menu: OK stores and applies the choice, Cancel applies nothing but the status
  // bar shows what the port list now holds.
  void settingsMenu_data() {
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
  }
  void settingsMenu() {
    QFETCH(bool, ok);
    w->ports.line(3);
    w->ports.line(5);
    w->storePort(QStringLiteral("COM3"));
    w->startUp();
    QTimer user;
    user.setInterval(5);
    connect(&user, &QTimer::timeout, [&] {
      if (QApplication::activeModalWidget() != Options)
        return;
      QCOMPARE(Options->OptionPages->currentWidget(), COM->kvSerialOptionCaption);
      COM->PortNumber->setEditText(QStringLiteral("COM5"));
      if (ok)
        Options->OKBtn->click();
      else
        Options->CancelBtn->click();
    });
    user.start();
    Form1->Options1Click();
    user.stop();
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("COM5"));
    QCOMPARE(COM->COM->ComNumber(), quint16(ok ? 5 : 3));
    QVERIFY(COM->COM->Open());
    QCOMPARE(SettingsFile(w->settingsPath()).value(kSheetKey, QStringLiteral("PortNumber"))->string,
             ok ? QStringLiteral("COM5") : QStringLiteral("COM3"));
  }

  // Settings that cannot be applied open the settings dialog; cancelling it skips the rest.
  void unusablePortSettingAndCancelledDialog() {
    w->storePort(QStringLiteral("COMX"));
    // The user cancels the settings dialog as soon as it appears.
    QTimer canceller;
    canceller.setInterval(5);
    connect(&canceller, &QTimer::timeout, [] {
      if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
        dialog->reject();
    });
    canceller.start();
    w->startUp({"/L9"});
    canceller.stop();
    QVERIFY(Form1->StatusBar1->panelText(0).isEmpty());
    QVERIFY(Form1->StatusBar1->panelText(1).isEmpty());
    QVERIFY(StatusFenster->isHidden());
    QVERIFY(!COM->COM->Open());
  }

  // A port named with /P replaces a stored port that cannot be used: the wait for the stored port
  // ends and the download goes to the named one.
  void portParameterReplacesAnUnusableStoredPort_data() {
    QTest::addColumn<bool>("storedHeld");
    QTest::newRow("stored COM9 absent") << false;
    QTest::newRow("stored COM9 held by another program") << true;
  }
  void portParameterReplacesAnUnusableStoredPort() {
    QFETCH(bool, storedHeld);
    SimGateway &g = gateway(3);
    w->ports.line(9).setPresent(storedHeld);
    w->ports.line(9).heldByOther = storedHeld;
    w->storePort(QStringLiteral("COM9"));
    const QByteArray bytes = w->pattern(300);
    w->startUp({"/P3", "/F" + w->script(bytes)});
    QCOMPARE(w->process.exitCodes, QList<int>{1});
    QVERIFY(g.sim().lastDownload().script == bytes);
    QCOMPARE(Form1->waitingForCom, 0);
    QVERIFY(!COM->TimerWaitingForCom->isActive());
    QVERIFY(w->ports.line(9).received().isEmpty());
  }

  // Settings closed with OK on a port choice that cannot be applied: the user is told why.
  void settingsOkWithAnUnusablePortChoiceTellsTheUser_data() {
    QTest::addColumn<QString>("choice");
    QTest::newRow("no number") << "COMX";
    QTest::newRow("port 0") << "COM0";
  }
  void settingsOkWithAnUnusablePortChoiceTellsTheUser() {
    QFETCH(QString, choice);
    w->ports.line(3);
    w->storePort(QStringLiteral("COM3"));
    w->startUp();
    QTimer user;
    user.setInterval(5);
    connect(&user, &QTimer::timeout, [&] {
      if (QApplication::activeModalWidget() != Options)
        return;
      COM->PortNumber->setEditText(choice);
      Options->OKBtn->click();
    });
    user.start();
    Form1->Options1Click();
    user.stop();
    QCOMPARE(w->dialogs.messages().size(), 1);
    const Dialogs::Message box = w->dialogs.messages().first();
    QCOMPARE(box.text, QStringLiteral("The port choice \"%1\" cannot be used: Error setting port options\n"
                                      "Choose \"offline\" or a port of the list in Settings.")
                           .arg(choice));
    QCOMPARE(box.caption, Form1->windowTitle());
    QCOMPARE(box.icon, Dialogs::Icon::Warning);
    QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
  }

  // Where nobody sees the program, a /F run that has not written its script ends with 2, after
  // saying why; a written one still ends with 1, and a run without /F stays.
  void withoutDisplayAFailedFileRunEndsWithTwo_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("parameters"); // "<script>" stands for a script file
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QList<int>>("exitCodes");
    QTest::addColumn<QString>("reason"); // the last message before the end; empty: none
    const QStringList file{"/F<script>"};
    QTest::newRow("written") << "COM7" << file << "" << QList<int>{1} << "";
    QTest::newRow("stored port offline")
        << "offline" << QStringList{"/P7", "/F<script>"} << "" << QList<int>{2}
        << "No port selected! Please check your settings and try again.";
    QTest::newRow("missing file") << "COM7" << QStringList{"/Fnot-there.qcs"} << "" << QList<int>{2}
                                  << "File not-there.qcs does not exist.";
    QTest::newRow("/P alone")
        << "COM7" << QStringList{"/P", "/F<script>"} << "" << QList<int>{2}
        << "Missing value for parameter for port, use /Px where x ist the number of the "
           "port.\n\r\n\rExample: /P5";
    QTest::newRow("/F alone")
        << "COM7" << QStringList{"/F"} << "" << QList<int>{2}
        << "Missing filename for parameter /Ffilename.\n\r\n\rExample: /FC:\\tmp\\dummy.qcs";
    QTest::newRow("dot never comes") << "COM7" << file << "noDot" << QList<int>{2} << "Error writing script";
    QTest::newRow("no restart") << "COM7" << file << "noRestart" << QList<int>{2}
                                << "Device did not restart as expecetd.";
    QTest::newRow("no /F") << "offline" << QStringList{"/X"} << "" << QList<int>{} << "";
  }
  void withoutDisplayAFailedFileRunEndsWithTwo() {
    QFETCH(QString, stored);
    QFETCH(QStringList, parameters);
    QFETCH(QString, fault);
    faultyGateway(fault);
    w->storePort(stored);
    parameters = withScript(parameters, w->script(w->pattern(300)));
    QStringList shownAtExit;
    w->process.onExit = [&] { shownAtExit = w->dialogs.messageTexts(); };
    setRunsWithoutDisplay(true);
    w->startUp(parameters);
    setRunsWithoutDisplay(false);
    QTEST(w->process.exitCodes, "exitCodes");
    QFETCH(QString, reason);
    QCOMPARE(shownAtExit.isEmpty() ? QString() : shownAtExit.last(), reason);
  }

  // Where the program found no display at all, nobody could close it: a bare script path ends the
  // run after its download as /F does, 1 once written (after its success message) and 2 when no
  // script was written. Where the environment asked for an invisible platform, a bare path keeps
  // the program open as on a desktop.
  void withoutAnyDisplayABareScriptEndsTheRun_data() {
    QTest::addColumn<bool>("foundNoDisplay");
    QTest::addColumn<QStringList>("parameters"); // "<script>" stands for a script file
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QList<int>>("exitCodes");
    QTest::addColumn<QString>("reason"); // the last message before the end; empty: none
    QTest::addColumn<bool>("written");
    QTest::newRow("written") << true << QStringList{"<script>"} << "" << QList<int>{1}
                             << "Write Script success" << true;
    QTest::newRow("dot never comes") << true << QStringList{"<script>"} << "noDot" << QList<int>{2}
                                     << "Error writing script" << false;
    QTest::newRow("/P alone") << true << QStringList{"/P", "<script>"} << "" << QList<int>{2}
                              << "Missing value for parameter for port, use /Px where x ist the number of "
                                 "the port.\n\r\n\rExample: /P5"
                              << false;
    QTest::newRow("platform asked for")
        << false << QStringList{"<script>"} << "" << QList<int>{} << "" << true;
  }
  void withoutAnyDisplayABareScriptEndsTheRun() {
    QFETCH(bool, foundNoDisplay);
    QFETCH(QStringList, parameters);
    QFETCH(QString, fault);
    SimGateway &g = faultyGateway(fault);
    w->storePort(QStringLiteral("COM7"));
    const QByteArray bytes = w->pattern(300);
    parameters = withScript(parameters, w->script(bytes));
    QStringList shownAtExit;
    w->process.onExit = [&] { shownAtExit = w->dialogs.messageTexts(); };
    setRunsWithoutDisplay(true);
    setFoundNoDisplay(foundNoDisplay);
    w->startUp(parameters);
    setFoundNoDisplay(false);
    setRunsWithoutDisplay(false);
    QTEST(w->process.exitCodes, "exitCodes");
    QFETCH(QString, reason);
    QCOMPARE(shownAtExit.isEmpty() ? QString() : shownAtExit.last(), reason);
    QTEST(g.sim().lastDownload().script == bytes, "written");
  }
};

QTEST_MAIN(TestStartUp)
#include "test_startup.moc"
