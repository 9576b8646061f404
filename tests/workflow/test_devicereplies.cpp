#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "common/WindowMessages.h"
#include "gateway/GatewayLink.h"
#include "platform/Clock.h"
#include "ui/LineMemo.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/Workflow.h"

#include <QPainter>
#include <QPushButton>
#include <QTest>

namespace {
const quint16 kPort = 4;
}

class TestDeviceReplies : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;
  SimLine *line = nullptr;

  // The far end sends; the bytes arrive as one receive event.
  void arrive(const QByteArray &bytes) {
    line->send(bytes);
    w->clock.advance(5);
  }
  void startSearch() {
    Form1->link()->Configset = false;
    Form1->link()->RcvString.clear();
    Form1->link()->Datarec = true;
    Form1->link()->DebugReceived = false;
    Form1->link()->IMessageCompleted = false;
  }

private slots:
  void init() {
    w = new Workflow;
    line = &w->ports.line(kPort);
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    QVERIFY(COM->COM->Open());
  }
  void cleanup() { delete w; }

  void twoOkRepliesEndTheSearch() {
    startSearch();
    arrive("OK");
    QVERIFY(Form1->link()->Datarec);
    QCOMPARE(Form1->link()->RcvString, QByteArray("OK"));
    arrive("ok");
    QVERIFY(!Form1->link()->Datarec);
    QVERIFY(Form1->link()->RcvString.isEmpty());
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Application port connected"));
    QVERIFY(StatusFenster->Memo1->lines().contains(QStringLiteral("Application connected")));
  }

  void debugAnswerIsAcknowledgedAfterAPause() {
    startSearch();
    const quint64 before = w->clock.nowMs();
    line->send(QByteArray("\0\x01\x02", 3));
    QVERIFY(w->clock.runUntil([&] { return Form1->link()->DebugReceived; }, 1000));
    // The answer leaves 100 ms after the block arrived, without handling events meanwhile.
    QVERIFY(w->clock.nowMs() - before >= 100);
    w->clock.advance(10);
    QCOMPARE(line->received(), QByteArray("O"));
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Debug port connected"));
    QVERIFY(Form1->link()->Datarec);

    // A second zero block changes nothing; the I-message ends the search.
    arrive(QByteArray("\0", 1));
    QCOMPARE(line->received(), QByteArray("O"));
    arrive("I00000000000000");
    QVERIFY(!Form1->link()->Datarec);
    QVERIFY(Form1->link()->IMessageCompleted);
  }

  // The I-message test runs before the debug-answer test, so an I-message in the same block as
  // the debug answer is seen only at the next receive event.
  void iMessageWithTheDebugAnswerWaitsForTheNextEvent() {
    startSearch();
    arrive(QByteArray("\0I00000000000000", 16));
    w->clock.advance(100); // the answer's pause
    QVERIFY(Form1->link()->DebugReceived);
    QVERIFY(!Form1->link()->IMessageCompleted);
    QVERIFY(Form1->link()->Datarec);
    arrive("x");
    QVERIFY(Form1->link()->IMessageCompleted);
    QVERIFY(!Form1->link()->Datarec);
  }

  void configModeIsSeenWithoutASearch() {
    Form1->link()->Datarec = false;
    arrive("xxCCxx");
    QVERIFY(Form1->link()->Configset);
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Debug port and configuration mode!"));
    QVERIFY(!Form1->link()->Datarec);
  }

  void largeBlocksAreReadCompletely() {
    const QByteArray big(5000, 'z');
    Form1->link()->RcvString.clear();
    arrive(big + "OKOK");
    QCOMPARE(Form1->link()->RcvString.size(), big.size() + 4);
    QVERIFY(Form1->link()->RcvString.endsWith("OKOK"));
    QCOMPARE(COM->COM->InBuffUsed(), quint16(0));
  }

  // A gateway that never stops talking: memory and log stay bounded, replies are still found.
  void endlessBabbleStaysBounded() {
    Form1->link()->RcvString.clear();
    for (int i = 0; i < 40; ++i)
      arrive(QByteArray(4000, char('a' + i % 20)));
    QVERIFY(Form1->link()->RcvString.size() <= 65536);
    for (const QString &l : StatusFenster->Memo1->lines())
      QVERIFY(l.size() < 2100);
    startSearch();
    arrive("OKOK");
    QVERIFY(!Form1->link()->Datarec);
  }

  void waitStateMessages_data() {
    QTest::addColumn<quint32>("counter");
    QTest::addColumn<qint32>("state");
    QTest::addColumn<bool>("enabledByMessage");
    QTest::addColumn<bool>("enabledAfterDrawing");
    QTest::addColumn<QString>("portPanel");
    QTest::newRow("port usable") << 0u << 0 << true << true << "COM4";
    QTest::newRow("waiting, odd count") << 3u << 0 << true << false << "COM4";
    QTest::newRow("usb removed") << 0u << 49 << false << true << "COM4";
    QTest::newRow("other copy waits") << 2u << 60 << false << false << "offline";
  }
  void waitStateMessages() {
    QFETCH(quint32, counter);
    QFETCH(qint32, state);
    Form1->StatusBar1->setPanelText(0, QStringLiteral("COM4"));
    sendMessage(Form1, WM_COM_WAIT_STATE, counter, state);
    QCOMPARE(Form1->waitingForCom, qint32(counter));
    QTEST(Form1->Button1->isEnabled(), "enabledByMessage");
    QImage image(50, 19, QImage::Format_RGB32);
    QPainter painter(&image);
    Form1->StatusBar1DrawPanel(painter, 0, image.rect());
    painter.end();
    QTEST(Form1->Button1->isEnabled(), "enabledAfterDrawing");
    QTEST(Form1->StatusBar1->panelText(0), "portPanel");
    QVERIFY(StatusFenster->Memo1->lines().contains(
        QStringLiteral("MainForm.onWaitingForCom Msg.wparam %1 ms.lParam %2").arg(counter).arg(state)));
    QVERIFY(w->dialogs.shown.isEmpty());
  }

  void portHeldByAnotherProgramIsReported() {
    COM->COM->SetOpen(false);
    line->heldByOther = true;
    COM->COM->SetOpen(true);
    QVERIFY(!COM->COM->Open());
    QCOMPARE(w->dialogs.messageTexts(), QStringList{"Port COM4 is in use by another application"});
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("offline"));
    QVERIFY(!COM->doComOpen);
  }

  // Without the right to the device node, waiting would never end: the user is told how to fix it.
  void permissionDeniedSaysHowToFixIt() {
    COM->onComError(COM->COM, SerialError::PermissionDenied);
    QCOMPARE(w->dialogs.messageTexts().size(), 1);
    QVERIFY(w->dialogs.messageTexts().at(0).startsWith(QStringLiteral("Port COM4 cannot be used: ")));
    QVERIFY(w->dialogs.messageTexts().at(0).contains(QStringLiteral("sudo usermod -aG dialout $USER")));
    QCOMPARE(Form1->StatusBar1->panelText(0), QStringLiteral("offline"));
    QVERIFY(!COM->TimerWaitingForCom->isActive());
  }

  void writeReady_data() {
    QTest::addColumn<quint32>("code");
    QTest::addColumn<bool>("autoLoad");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("panel");
    QTest::newRow("success") << 0u << false << QStringList{"Write Script success"} << "Success";
    QTest::newRow("success after /F") << 0u << true << QStringList{} << "Success";
    QTest::newRow("block not acknowledged")
        << 1u << false << QStringList{"Error writing script"} << "Error writing Script";
    QTest::newRow("no restart") << 2u << false << QStringList{"Device did not restart as expecetd."} << "";
    QTest::newRow("already reported") << 99u << false << QStringList{} << "";
  }
  void writeReady() {
    QFETCH(quint32, code);
    QFETCH(bool, autoLoad);
    Form1->autoLoad = autoLoad;
    Form1->Button1->setEnabled(false);
    ScriptProgState->show();
    ScriptProgState->move(210, 170);
    const QPoint statePosition = ScriptProgState->pos();
    Form1->StatusBar1->setPanelText(2, QString());
    postMessage(Form1, WM_WRITE_READY, code, 0);
    w->clock.processMessages();
    QVERIFY(Form1->Button1->isEnabled());
    QVERIFY(ScriptProgState->isHidden());
    QTEST(w->dialogs.messageTexts(), "messages");
    QTEST(Form1->StatusBar1->panelText(2), "panel");
    if (code == 0 && !autoLoad)
      QCOMPARE(w->dialogs.messages().at(0).position, std::optional<QPoint>(statePosition));
  }
};

QTEST_MAIN(TestDeviceReplies)
#include "test_devicereplies.moc"
