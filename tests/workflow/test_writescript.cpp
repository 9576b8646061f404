#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/Workflow.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace {
const quint16 kPort = 3;
const QString kNotFound = QStringLiteral(
    "No data received,\r\ncheck device is in configuration mode,\r\nthe serial port set and connection.");

QByteArray frame(const QByteArray &script) {
  quint16 sum = 0;
  for (char c : script)
    sum = quint16(sum + quint8(c));
  QByteArray f;
  f.append(char(0x44)).append(char(script.size() >> 8)).append(char(script.size() & 0xff));
  f += script;
  f.append(char(sum >> 8)).append(char(sum & 0xff));
  return f;
}
} // namespace

class TestWriteScript : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;

  SimGateway &gateway(KorvaneSim::Mode mode, KorvaneSim::Faults faults = {}) {
    KorvaneSim::Config config;
    config.mode = mode;
    config.faults = faults;
    config.restartMs = 1500;
    SimGateway &g = w->ports.gateway(kPort, config);
    w->ports.line(kPort).bytesPerSecond = 960;
    return g;
  }
  void startUp(const QByteArray &script) {
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    Form1->Dateiname = w->script(script);
  }
  // The program's bytes after its search (everything from the start byte on).
  QByteArray debugFrameSent() {
    const QByteArray sent = w->ports.line(kPort).received();
    return sent.mid(sent.indexOf('\x44'));
  }

private slots:
  void init() { w = new Workflow; }
  void cleanup() { delete w; }

  void configurationInterfaceGetsTheConfigDownload() {
    SimGateway &g = gateway(KorvaneSim::Mode::Config);
    const QByteArray script = w->pattern(500);
    startUp(script);
    bool disabledDuringSearch = false;
    connect(&w->ports.line(kPort), &SimLine::bytesFromProgram, this,
            [&] { disabledDuringSearch = disabledDuringSearch || !Form1->Button1->isEnabled(); });
    Form1->Button1Click();
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QVERIFY(g.sim().lastDownload().script == script);
    QVERIFY(disabledDuringSearch);
    QVERIFY(Form1->Button1->isEnabled());
    QVERIFY(Progress->isHidden());
    QCOMPARE(w->dialogs.messageTexts(), QStringList{"Write Script success"});
  }

  // A click while the data go out, whoever started the download: the button stays disabled whatever
  // is redrawn, and a second start is refused, so no search byte lands in the hexadecimal data and
  // one start gives one outcome.
  void clickDuringTheDataPhaseIsRefused_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("Write Script") << "button" << QStringList{"Write Script success"};
    QTest::newRow("bare path on the command line") << "path" << QStringList{"Write Script success"};
    QTest::newRow("/F on the command line") << "/F" << QStringList{};
  }
  void clickDuringTheDataPhaseIsRefused() {
    QFETCH(QString, start);
    SimGateway &g = gateway(KorvaneSim::Mode::Config);
    const QByteArray script = w->pattern(2500);
    SimLine &line = w->ports.line(kPort);
    int clicks = 0;
    bool enabledInData = false;
    connect(&line, &SimLine::bytesFromProgram, this, [&] {
      const qsizetype data = line.received().indexOf('\x10');
      if (data < 0 || line.received().size() - data < 400 || clicks >= 3)
        return;
      Form1->StatusBar1->repaint();
      enabledInData = enabledInData || Form1->Button1->isEnabled();
      ++clicks;
      Form1->Button1Click();
    });
    const QString path = w->script(script);
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    if (start == QLatin1String("button")) {
      w->startUp();
      Form1->Dateiname = path;
      Form1->show();
      Form1->Button1Click();
    } else {
      w->startUp({start == QLatin1String("/F") ? start + path : path});
    }
    QVERIFY(w->settle());
    QCOMPARE(clicks, 3);
    QVERIFY(!enabledInData);
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QCOMPARE(g.sim().downloadsStarted(), 1);
    QVERIFY(g.sim().lastDownload().script == script);
    const QByteArray sent = line.received();
    QVERIFY(sent.mid(sent.indexOf('\x10') + 1, 2 * script.size() + 1) == script.toHex().toUpper() + '\n');
    QTEST(w->dialogs.messageTexts(), "messages");
    QVERIFY(Form1->Button1->isEnabled());
  }

  void debugInterfaceGetsTheFrame_data() {
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("handshake");
    QTest::newRow("two bytes") << QByteArray::fromHex("0102") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("1000 bytes, handshake") << QByteArray(1000, '\x5a') << true;
    QTest::newRow("1000 bytes, no handshake") << QByteArray(1000, '\xa5') << false;
  }
  void debugInterfaceGetsTheFrame() {
    QFETCH(QByteArray, script);
    QFETCH(bool, handshake);
    KorvaneSim::Faults faults;
    faults.noHandshake = !handshake;
    SimGateway &g = gateway(KorvaneSim::Mode::Debug, faults);
    startUp(script);
    Form1->Button1Click();
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QVERIFY(g.sim().lastDownload().matches());
    QVERIFY(g.sim().lastDownload().script == script);
    QVERIFY(debugFrameSent() == frame(script));
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Success"));
    QVERIFY(ScriptProgState->isHidden());
  }

  void debugInterfaceInConfigurationModeIsRefused() {
    SimGateway &g = gateway(KorvaneSim::Mode::DebugConfig);
    startUp(w->pattern(10));
    Form1->Button1Click();
    w->clock.advance(100);
    QCOMPARE(w->dialogs.messageTexts(),
             QStringList{"Device connected to debug but started in configuration mode!\r\n"
                         "Set Device to run mode and try again"});
    QCOMPARE(g.sim().downloadsStarted(), 0);
    QVERIFY(w->writeReady.isEmpty());
    QVERIFY(Form1->Button1->isEnabled());
  }

  void nothingAnswersEvenAfterTheRestartPrompt() {
    KorvaneSim::Faults faults;
    faults.silent = true;
    gateway(KorvaneSim::Mode::Config, faults);
    startUp(w->pattern(10));
    const quint64 start = w->clock.nowMs();
    Form1->Button1Click();
    QCOMPARE(w->dialogs.messageTexts(), (QStringList{"Restart KORVANE and confirm.", kNotFound}));
    QCOMPARE(w->dialogs.messages().at(1).icon, Dialogs::Icon::Warning);
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Device not found"));
    QVERIFY(Form1->Button1->isEnabled());
    QVERIFY(COM->COM->Open());
    // 10 s of search and 10 s after the prompt, not more.
    QVERIFY(w->clock.nowMs() - start >= 20000);
    QVERIFY(w->clock.nowMs() - start < 21000);
  }

  // The gateway answers only once the user has restarted it.
  void gatewayAnswersAfterTheRestart() {
    SimLine &line = w->ports.line(kPort);
    bool restarted = false;
    connect(&line, &SimLine::bytesFromProgram, this, [&](const QByteArray &bytes) {
      if (restarted && bytes.contains('\x14'))
        line.send("OKOK", 5);
    });
    w->dialogs.onMessage = [&](const Dialogs::Message &m) {
      if (m.text == QStringLiteral("Restart KORVANE and confirm."))
        restarted = true;
    };
    startUp(w->pattern(10));
    Form1->Button1Click();
    QCOMPARE(w->dialogs.messageTexts().first(), QStringLiteral("Restart KORVANE and confirm."));
    QVERIFY(!w->dialogs.messageTexts().contains(kNotFound));
    // The configuration download began: it sent its 0x10 after the gateway test.
    QVERIFY(line.received().contains('\x10'));
  }

  void noPortSelected() {
    gateway(KorvaneSim::Mode::Config);
    w->storePort(QStringLiteral("offline"));
    w->startUp();
    Form1->Button1Click();
    QCOMPARE(w->dialogs.messageTexts(),
             QStringList{"No port selected! Please check your settings and try again."});
    QCOMPARE(w->dialogs.messages().at(0).caption, QStringLiteral("Configuration problem"));
    QVERIFY(Form1->Button1->isEnabled());
    QVERIFY(w->ports.line(kPort).received().isEmpty());
  }

  void cancelledOpenDialogStartsNoSearch() {
    gateway(KorvaneSim::Mode::Config);
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    COM->COM->SetOpen(false);
    Form1->Button1Click();
    QCOMPARE(w->dialogs.shown.size(), 1);
    QCOMPARE(w->dialogs.shown.at(0).kind, ScriptedDialogs::Kind::Open);
    QVERIFY(COM->COM->Open());
    QVERIFY(w->ports.line(kPort).received().isEmpty());
    QVERIFY(Form1->Button1->isEnabled());
  }

  void searchWindowPlacement() {
    gateway(KorvaneSim::Mode::Config);
    startUp(w->pattern(10));
    Form1->move(300, 200);
    Form1->show();
    Progress->show(); // its first showing, centred, is over
    Progress->hide();
    const QRect main = Form1->frameGeometry();
    Form1->Button1Click();
    QCOMPARE(Progress->xpos, main.left() + main.width() / 3);
    QCOMPARE(Progress->ypos, main.top() + main.height() / 2);
    QCOMPARE(Progress->frameGeometry().topLeft(), QPoint(Progress->xpos, Progress->ypos));
    QCOMPARE(Progress->lAction->text(), QStringLiteral("Searching device"));
    QVERIFY(Progress->windowTitle().isEmpty());
  }
};

QTEST_MAIN(TestWriteScript)
#include "test_writescript.moc"
