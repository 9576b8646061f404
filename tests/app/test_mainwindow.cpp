#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "ui/AboutWindow.h"
#include "ui/FontScale.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include "tests/support/AppFixture.h"

#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTest>

namespace {
struct Drawn {
  QColor background;
  int darkestText = 255; // grey level of the darkest pixel: 0 black text, 128 grey text
};

Drawn drawPanel(int panel, const QString &text) {
  Form1->StatusBar1->setPanelText(panel, text);
  QImage image(160, 19, QImage::Format_RGB32);
  image.fill(Qt::blue);
  QPainter painter(&image);
  Form1->StatusBar1DrawPanel(painter, panel, image.rect());
  painter.end();
  Drawn d;
  d.background = image.pixelColor(159, 18);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      d.darkestText = qMin(d.darkestText, qGray(image.pixel(x, y)));
  return d;
}
} // namespace

class TestMainWindow : public QObject {
  Q_OBJECT
  AppFixture *m_app = nullptr;

private slots:
  void init() {
    m_app = new AppFixture;
    m_app->start();
  }
  void cleanup() { delete m_app; }

  void windowsExistWithTheirCaptionsAndOnlyTheMainWindowShows() {
    Form1->show();
    const QList<QPair<QWidget *, QString>> windows = {
        {Form1, "Tamberlin"},  {ScriptProgState, "Script program state"}, {Options, "Settings"},
        {COM, "COM"},          {StatusFenster, "State Window"},           {HelpAbout, "About"},
        {Progress, "Debugger"}};
    for (const auto &[window, caption] : windows) {
      QVERIFY(window);
      QCOMPARE(window->windowTitle(), caption);
      QCOMPARE(window->isVisible(), window == Form1);
    }
  }

  void layoutMenuAndStatusBar() {
    QCOMPARE(Form1->Button1->text(), QStringLiteral("Write Script"));
    QStringList menu;
    for (QAction *a : Form1->menuBar()->actions())
      menu << a->text();
    QCOMPARE(menu, (QStringList{"File", "Settings", "Help"}));
    QCOMPARE(Form1->Options1->menu(), nullptr);
    QStringList file;
    for (QAction *a : Form1->File1->actions())
      file << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(file, (QStringList{"Open file", "Station...", "-", "Exit"}));
    QCOMPARE(Form1->Help1->actions().at(0)->text(), QStringLiteral("About"));
    QCOMPARE(Form1->StatusBar1->panelCount(), 3);
    Form1->show();
    // The designed pixels, grown by as much as the font's characters are wider than the design's.
    QCOMPARE(Form1->StatusBar1->panelRect(0).width(), FontScale::scaled(50, Form1));
    QCOMPARE(Form1->StatusBar1->panelRect(1).width(), FontScale::scaled(120, Form1));
    QCOMPARE(Form1->centralWidget()->width(), FontScale::scaled(291, Form1));
    QCOMPARE(Form1->centralWidget()->height() + Form1->StatusBar1->height(), FontScale::scaled(116, Form1));
    QCOMPARE(Form1->Button1->geometry(), Form1->centralWidget()->rect().adjusted(20, 20, -20, -20));
  }

  // Every state the program shows in the status bar is readable whole at the designed size.
  void statusTextsFitTheirPanels_data() {
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    for (const char *text :
         {"Debug port connected", "Application port connected", "Debug port and configuration mode!",
          "Error writing Script", "Success", "Not connected", "Device not found",
          "No port selected! Please check your settings and try again.",
          "No gateway found! Please check your settings and try again."})
      QTest::newRow(text) << 2 << QString::fromLatin1(text);
    QTest::newRow("offline") << 0 << "offline";
    QTest::newRow("COM65535") << 0 << "COM65535";
    QTest::newRow("version") << 1 << "V1.0.0";
  }
  void statusTextsFitTheirPanels() {
    QFETCH(int, panel);
    QFETCH(QString, text);
    Form1->show();
    Form1->StatusBar1->setPanelText(panel, text);
    QApplication::processEvents();
    const QRect room = Form1->StatusBar1->panelRect(panel).adjusted(2, 0, 0, 0);
    const QRect needed = Form1->StatusBar1->fontMetrics().boundingRect(
        QRect(room.topLeft(), QSize(room.width(), 100000)), TStatusBar::textFlags(), text);
    QVERIFY2(room.contains(needed), qPrintable(QStringLiteral("needs %1x%2, has %3x%4")
                                                   .arg(needed.width())
                                                   .arg(needed.height())
                                                   .arg(room.width())
                                                   .arg(room.height())));
    QVERIFY(Form1->centralWidget()->height() > 0);
  }

  void gatewayStateColours_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("background");
    const QColor highlight = QApplication::palette().color(QPalette::Light);
    QTest::newRow("application port connected") << "Application port connected" << QColor(0, 255, 0);
    QTest::newRow("debug port connected") << "Debug port connected" << QColor(0, 255, 0);
    QTest::newRow("case ignored") << "PORT CONNECTED" << QColor(0, 255, 0);
    QTest::newRow("not found") << "Device NOT found" << QColor(255, 0, 0);
    QTest::newRow("device not found, any case") << "Device not found" << QColor(255, 0, 0);
    QTest::newRow("success") << "Success" << highlight;
    QTest::newRow("empty") << "" << highlight;
  }
  void gatewayStateColours() {
    QFETCH(QString, text);
    const Drawn d = drawPanel(2, text);
    QTEST(d.background, "background");
    if (!text.isEmpty())
      QCOMPARE(d.darkestText, 0);
  }

  void portPanelBlinksAndDrivesTheButton_data() {
    QTest::addColumn<int>("waiting");
    QTest::addColumn<int>("textGrey");
    QTest::addColumn<bool>("buttonEnabled");
    QTest::newRow("not waiting") << 0 << 0 << true;
    QTest::newRow("odd count grey") << 3 << 128 << false;
    QTest::newRow("even count black") << 4 << 0 << false;
  }
  void portPanelBlinksAndDrivesTheButton() {
    QFETCH(int, waiting);
    Form1->waitingForCom = waiting;
    Form1->Button1->setEnabled(waiting > 0);
    const Drawn d = drawPanel(0, QStringLiteral("COM3"));
    QCOMPARE(d.background, QApplication::palette().color(QPalette::Light));
    QTEST(d.darkestText, "textGrey");
    QTEST(Form1->Button1->isEnabled(), "buttonEnabled");
  }

  void negativeWaitCountDrawsNothing() {
    Form1->waitingForCom = -1;
    Form1->Button1->setEnabled(false);
    const Drawn d = drawPanel(0, QStringLiteral("COM3"));
    QCOMPARE(d.background, QColor(Qt::blue));
    QVERIFY(!Form1->Button1->isEnabled());
  }

  // The side effect happens whenever the bar is painted, not only when asked directly.
  void repaintingTheBarDisablesTheButtonWhileWaiting() {
    Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    Form1->waitingForCom = 1;
    Form1->StatusBar1->setPanelText(0, QStringLiteral("COM3"));
    Form1->StatusBar1->repaint();
    QVERIFY(!Form1->Button1->isEnabled());
    Form1->waitingForCom = 0;
    Form1->StatusBar1->repaint();
    QVERIFY(Form1->Button1->isEnabled());
  }

  void openFile() {
    m_app->dialogs.answerFile(QStringLiteral("/data/scripts/line7.qcs"));
    Form1->LoadFile1Click();
    const Dialogs::FileDialog &d = m_app->dialogs.shown.at(0).file;
    QCOMPARE(d.title, QStringLiteral("Open compiled script file ..."));
    QCOMPARE(d.filter,
             QStringLiteral("Quarnel compiled script file|*.qcs|Old Configuration file|*.wcf;*.gwc"));
    QCOMPARE(d.fileName, QStringLiteral("*.qcs"));
    QVERIFY(d.mustExist);
    QCOMPARE(Form1->Dateiname, QStringLiteral("/data/scripts/line7.qcs"));
    QCOMPARE(Form1->Button1->text(), QStringLiteral("Download Script - /data/scripts/line7.qcs"));

    // Cancel forgets the file but leaves the caption.
    Form1->LoadFile1Click();
    QVERIFY(Form1->Dateiname.isEmpty());
    QCOMPARE(Form1->Button1->text(), QStringLiteral("Download Script - /data/scripts/line7.qcs"));
  }

  void windowsFilterBecomesQtFilter() {
    QCOMPARE(Dialogs::qtFilter(Form1->OpenDialog.filter),
             QStringLiteral("Quarnel compiled script file (*.qcs);;Old Configuration file (*.wcf *.gwc)"));
  }

  void aboutShowsTheAboutWindow() {
    Form1->About1Click();
    QVERIFY(HelpAbout->isVisible());
    QVERIFY(m_app->dialogs.shown.isEmpty());
  }

  void exitStoresAndEndsWithZero() {
    Form1->show();
    Form1->Exit1Click();
    QCOMPARE(m_app->process.exitCodes, QList<int>{0});
    QVERIFY(m_app->readSettings().contains("\"WindowPosSize\"=hex:"));
    QVERIFY(m_app->readSettings().contains("\"WindowState\"=hex:00"));
  }

  void closingTheWindowDoesTheSame() {
    Form1->show();
    Form1->close();
    QCOMPARE(m_app->process.exitCodes, QList<int>{0});
    QVERIFY(m_app->readSettings().contains("\"DefaultMonitor\"=dword:00000000"));
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
