#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"

#include "tests/support/Workflow.h"

#include <QLabel>
#include <QTest>

namespace {
const quint16 kPort = 3;

QByteArray expectedData(const QByteArray &script) {
  quint16 sum = 0;
  for (char c : script)
    sum = quint16(sum + quint8(c));
  return script.toHex().toUpper() + '\n' + QByteArray::number(sum, 16).toUpper().rightJustified(4, '0') +
         '\n';
}
} // namespace

class TestConfigDownload : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;

  SimGateway &gateway(KorvaneSim::Config config = {}) {
    config.restartMs = 2000;
    SimGateway &g = w->ports.gateway(kPort, config);
    w->ports.line(kPort).bytesPerSecond = 960;
    return g;
  }
  void startUp() {
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    QVERIFY(COM->COM->Open());
  }

private slots:
  void init() { w = new Workflow; }
  void cleanup() { delete w; }

  // The worked example: 0x12 0xAB 0xFF goes out as 12ABFF, LF, 01BC, LF.
  void writesTheExampleByteForByte() {
    SimGateway &g = gateway();
    startUp();
    const QString path = w->script(QByteArray::fromHex("12abff"));
    QVERIFY(Form1->programfile(path));
    QVERIFY(w->settle());
    const QByteArray sent = w->ports.line(kPort).received();
    QVERIFY2(sent.startsWith(QByteArray("\x14\x10") + "12ABFF\n01BC\n"), sent.toHex().constData());
    QCOMPARE(g.sim().lastDownload().script, QByteArray::fromHex("12abff"));
    QVERIFY(g.sim().lastDownload().matches());
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QCOMPARE(Form1->StatusBar1->panelText(2), QStringLiteral("Success"));
    QCOMPARE(w->dialogs.messageTexts(), QStringList{"Write Script success"});
    QCOMPARE(ScriptProgState->Label1->text(), QStringLiteral("Device successfully restartet"));
    QVERIFY(ScriptProgState->isHidden());
  }

  void transfersThatSucceed_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("handshake");
    QTest::addColumn<int>("firstDot");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<bool>("lowerCaseRestart");
    QTest::addColumn<bool>("ownWriter");
    QTest::newRow("empty file") << 0 << true << 64 << false << false << false;
    QTest::newRow("handshake, dot at 64 then every 128") << 1000 << true << 64 << false << false << false;
    QTest::newRow("handshake, missing dot at 64 forgiven") << 1000 << true << 96 << false << false << false;
    QTest::newRow("no handshake") << 1000 << false << 64 << false << false << false;
    QTest::newRow("extra text and garbage") << 700 << true << 64 << true << false << false;
    QTest::newRow("largest file") << 65536 << true << 64 << false << false << false;
    QTest::newRow("device with its own writer") << 1000 << true << 64 << false << false << true;
    QTest::newRow("own writer, no handshake") << 1000 << false << 64 << false << false << true;
  }
  void transfersThatSucceed() {
    QFETCH(int, size);
    QFETCH(bool, handshake);
    QFETCH(int, firstDot);
    QFETCH(bool, noise);
    QFETCH(bool, ownWriter);
    KorvaneSim::Config config;
    config.faults.noHandshake = !handshake;
    config.faults.firstDotAfter = firstDot;
    config.faults.extraText = noise;
    config.faults.garbage = noise;
    SimGateway &g = gateway(config);
    w->ports.line(kPort).ownWriter = ownWriter;
    startUp();
    const QByteArray bytes = w->pattern(size);
    QVERIFY(Form1->programfile(w->script(bytes)));
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QCOMPARE(g.sim().lastDownload().script.size(), bytes.size());
    QVERIFY(g.sim().lastDownload().script == bytes);
    QVERIFY(g.sim().lastDownload().matches());
    const QByteArray sent = w->ports.line(kPort).received();
    QVERIFY(sent.mid(2, 2 * size + 6) == expectedData(bytes));
  }

  // Under the bar, a line says how far the script has gone out and how long it will still take.
  void transferLineFollowsTheData() {
    gateway();
    startUp();
    QStringList seen;
    connect(&w->ports.line(kPort), &SimLine::bytesFromProgram, this,
            [&] { seen << ScriptProgState->TransferLine->text(); });
    QVERIFY(Form1->programfile(w->script(w->pattern(3000))));
    QVERIFY(seen.contains(QStringLiteral("0 of 3000 bytes (0 %)")));
    const auto withTimeLeft = std::find_if(
        seen.cbegin(), seen.cend(), [](const QString &t) { return t.contains(QStringLiteral(" left")); });
    QVERIFY(withTimeLeft != seen.cend());
    QVERIFY(withTimeLeft->contains(QStringLiteral(" of 3000 bytes (")));
    QCOMPARE(ScriptProgState->TransferLine->text(), QStringLiteral("3000 of 3000 bytes (100 %)"));
    // A few updates a second, not one per byte.
    QVERIFY(QSet<QString>(seen.cbegin(), seen.cend()).size() < 100);
  }

  // The data paces itself: every 16 bytes the output buffer is empty again.
  void outputBufferNeverHoldsMoreThan32Characters() {
    gateway();
    startUp();
    int most = 0;
    connect(&w->ports.line(kPort), &SimLine::bytesFromProgram, this,
            [&](const QByteArray &) { most = qMax(most, int(COM->COM->OutBuffUsed())); });
    QVERIFY(Form1->programfile(w->script(w->pattern(300))));
    QVERIFY(most <= 32);
  }

  void failures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<quint32>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("panel");
    QTest::newRow("no port selected")
        << "offline" << 99u << "No port selected! Please check your settings and try again."
        << "No port selected! Please check your settings and try again.";
    QTest::newRow("no gateway") << "silent" << 99u
                                << "No gateway found! Please check your settings and try again."
                                << "No gateway found! Please check your settings and try again.";
    QTest::newRow("ok in lower case")
        << "lowerCase" << 99u << "No gateway found! Please check your settings and try again."
        << "No gateway found! Please check your settings and try again.";
    QTest::newRow("file missing") << "missing" << 99u << "File %1 does not exist!"
                                  << "";
    QTest::newRow("port lost during the data") << "vanish" << 99u << "Error programming %1"
                                               << "";
    QTest::newRow("no dot at a mandatory point") << "skipDot" << 1u << "Error writing script"
                                                 << "Error writing Script";
    QTest::newRow("no restart announced") << "noRestart" << 2u << "Device did not restart as expecetd."
                                          << "";
    QTest::newRow("no OKOK after the restart")
        << "silentAfterRestart" << 2u << "Device did not restart as expecetd."
        << "";
    QTest::newRow("file too large") << "tooLarge" << 99u << "File %1 has 65537 bytes"
                                    << "";
  }
  void failures() {
    QFETCH(QString, fault);
    KorvaneSim::Config config;
    config.faults.silent = fault == "silent";
    config.faults.lowerCase = fault == "lowerCase";
    config.faults.noRestart = fault == "noRestart";
    config.faults.silentAfterRestart = fault == "silentAfterRestart";
    if (fault == "skipDot")
      config.faults.skipDotAfter = {192};
    if (fault == "vanish")
      config.faults.vanishAtByte = 300;
    SimGateway &g = gateway(config);
    if (fault == "offline") {
      w->storePort(QStringLiteral("offline"));
      w->startUp();
    } else {
      startUp();
    }
    QString path = w->script(w->pattern(fault == "tooLarge" ? 65537 : 400));
    if (fault == "missing")
      path += QStringLiteral(".gone");

    QVERIFY(!Form1->programfile(path));
    QVERIFY(w->settle());
    QFETCH(quint32, code);
    QCOMPARE(w->writeReady, QList<quint32>{code});
    QFETCH(QString, message);
    QVERIFY2(!w->dialogs.messageTexts().isEmpty(), "no message");
    QVERIFY2(w->dialogs.messageTexts().last().startsWith(message.arg(path)),
             qPrintable(w->dialogs.messageTexts().join(" | ")));
    QFETCH(QString, panel);
    if (!panel.isEmpty())
      QCOMPARE(Form1->StatusBar1->panelText(2), panel);
    QVERIFY(ScriptProgState->isHidden());
    if (fault == "offline" || fault == "tooLarge")
      QVERIFY(w->ports.line(kPort).received().isEmpty());
    if (fault == "noRestart" || fault == "silentAfterRestart")
      QVERIFY(g.sim().lastDownload().matches());
    // Exactly one result per download, also after everything has settled.
    w->clock.advance(20000);
    QCOMPARE(w->writeReady.size(), 1);
  }

  // "restart" and "okok" may come in any case; only the first "OK" must be in capitals.
  void restartInLowerCaseIsAccepted() {
    KorvaneSim::Config config;
    config.faults.lowerCase = true;
    SimGateway &g = gateway(config);
    startUp();
    // This gateway says "ok"; the capital "OK" that the gateway test needs comes from the line.
    w->ports.line(kPort).send("OK", 1);
    QVERIFY(Form1->programfile(w->script(w->pattern(200))));
    QVERIFY(w->settle());
    QCOMPARE(w->writeReady, QList<quint32>{0});
    QVERIFY(g.sim().lastDownload().matches());
  }
};

QTEST_MAIN(TestConfigDownload)
#include "test_configdownload.moc"
