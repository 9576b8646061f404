#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/Clock.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/Workflow.h"

#include <QLabel>
#include <QTest>

namespace {
const quint16 kPort = 3;
}

// The debug-interface download on its own, against a line whose far end the test plays.
class TestDebugDownload : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;
  SimLine *line = nullptr;
  qint64 m_frameEnd = 0;
  std::function<void()> m_afterChecksum;

  void startUp() {
    line = &w->ports.line(kPort);
    line->bytesPerSecond = 960;
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    // The far end: when the whole frame is there, afterChecksum() plays the gateway's answer.
    connect(line, &SimLine::bytesFromProgram, this, [this] {
      if (m_frameEnd > 0 && line->received().size() >= m_frameEnd && m_afterChecksum) {
        auto answer = std::exchange(m_afterChecksum, nullptr);
        answer();
      }
    });
  }
  QString script(int size) {
    m_frameEnd = 3 + size + 2;
    return w->script(w->pattern(size));
  }

private slots:
  void init() { w = new Workflow; }
  void cleanup() { delete w; }

  void blockPointWithoutDotFails() {
    KorvaneSim::Config config;
    config.mode = KorvaneSim::Mode::Debug;
    config.faults.skipDotAfter = {224};
    w->ports.gateway(kPort, config);
    startUp();
    ScriptProgState->move(222, 111);
    const QPoint position = ScriptProgState->pos();
    Form1->programfileDebug(script(400));
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{99});
    QCOMPARE(w->dialogs.messageTexts(), QStringList{"Error writing script"});
    QCOMPARE(w->dialogs.messages().at(0).position, std::optional<QPoint>(position));
    // Stopped at the missing dot: the rest of the script was not sent.
    QVERIFY(line->received().size() < 3 + 400);
  }

  void answers_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("O") << QByteArray("O") << true;
    QTest::newRow("O inside OK") << QByteArray("xxOKxx") << true;
    QTest::newRow("lower-case o") << QByteArray("ok") << false;
    QTest::newRow("nothing") << QByteArray() << false;
  }
  void answers() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, accepted);
    startUp();
    const QString path = script(40);
    m_afterChecksum = [&] { line->send(answer, 5); };
    Form1->programfileDebug(path);
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{accepted ? 0u : 99u});
    if (!accepted)
      QCOMPARE(w->dialogs.messageTexts(),
               QStringList{QStringLiteral("Error programming script \r\n") + QString::fromLatin1(answer)});
    QVERIFY(ScriptProgState->isHidden());
  }

  // A gateway that keeps talking without an "O" keeps the wait going until it has been silent
  // for 4000 ms.
  void talkingGatewayExtendsTheWait() {
    startUp();
    const QString path = script(20);
    ClockTimer chatter;
    chatter.setInterval(1000);
    int said = 0;
    quint64 lastSaid = 0;
    connect(&chatter, &ClockTimer::timeout, [&] {
      if (++said > 8)
        return chatter.stop();
      line->send("busy");
      lastSaid = w->clock.nowMs();
    });
    m_afterChecksum = [&] { chatter.start(); };
    Form1->programfileDebug(path);
    QCOMPARE(w->dialogs.messageTexts().size(), 1);
    QVERIFY(w->dialogs.messageTexts().at(0).endsWith(QStringLiteral("busybusybusybusybusybusybusybusy")));
    QVERIFY(w->clock.nowMs() - lastSaid >= 4000);
    QVERIFY(w->clock.nowMs() - lastSaid < 4200);
  }

  // An "O" before the checksum does not count: the text is discarded before it goes out.
  void earlierTextIsDiscarded() {
    startUp();
    const QString path = script(30);
    connect(line, &SimLine::bytesFromProgram, this, [&] {
      if (line->received().size() == 10)
        line->send("O");
    });
    Form1->programfileDebug(path);
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{99});
  }

  // Bytes that do not leave the output buffer end the download, as on the configuration interface.
  void portThatDoesNotSendEndsTheDownload() {
    startUp();
    line->bytesPerSecond = 1;
    const QString path = script(100);
    Form1->programfileDebug(path);
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{99});
    QCOMPARE(
        w->dialogs.messageTexts(),
        QStringList{QStringLiteral("Error programming %1: the port does not send (is the cable connected?)")
                        .arg(path)});
    QVERIFY(ScriptProgState->isHidden());
  }

  void filesThatCannotBeSent() {
    startUp();
    Form1->programfileDebug(w->script(QByteArray()) + QStringLiteral(".gone"));
    QVERIFY(w->dialogs.messageTexts().at(0).endsWith(QStringLiteral(".gone does not exist!")));
    QVERIFY(!w->settle(5000)); // nothing is posted
    QVERIFY(line->received().isEmpty());
    // Nothing was posted, so nothing ends the transfer's window: it stays up with its text.
    QVERIFY(ScriptProgState->isVisible());
    QCOMPARE(ScriptProgState->Label1->text(), QStringLiteral("Open file"));

    Form1->programfileDebug(w->script(QByteArray(65536, 'x')));
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{99});
    QVERIFY(w->dialogs.messageTexts().at(1).contains(QStringLiteral("65536 bytes")));
    QVERIFY(line->received().isEmpty());
  }
};

QTEST_MAIN(TestDebugDownload)
#include "test_debugdownload.moc"
