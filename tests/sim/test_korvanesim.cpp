// The simulated gateway's answers, and the gateway on the in-process line behind TSerialPort.
#include "serialport/TSerialPort.h"
#include "sim/KorvaneSim.h"
#include "tests/support/CollectReceived.h"
#include "tests/support/ScriptSum.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QTest>

using Mode = KorvaneSim::Mode;
Q_DECLARE_METATYPE(KorvaneSim::Mode)

namespace {
KorvaneSim::Config configFor(Mode mode, const QString &faults) {
  KorvaneSim::Config c;
  c.mode = mode;
  c.restartMs = 2000;
  auto &f = c.faults;
  f.noHandshake = faults.contains(QLatin1String("nohandshake"));
  f.lowerCase = faults.contains(QLatin1String("lower"));
  f.extraText = faults.contains(QLatin1String("extra"));
  f.garbage = faults.contains(QLatin1String("garbage"));
  f.silent = faults.contains(QLatin1String("silent"));
  f.noRestart = faults.contains(QLatin1String("norestart"));
  f.silentAfterRestart = faults.contains(QLatin1String("deadafter"));
  if (faults.contains(QLatin1String("first96")))
    f.firstDotAfter = 96;
  return c;
}

QByteArray bytes(int n, int seed = 7) {
  QByteArray b;
  for (int i = 0; i < n; ++i)
    b.append(char((i * 37 + seed) & 0xff));
  return b;
}

// Feeds a script as the configuration-mode download sends it; returns the script byte counts
// after which a "." came, and everything the gateway said after the checksum line.
struct Exchange {
  QList<int> dotsAfter;
  QByteArray enter;
  QByteArray end;
};
Exchange feedConfigDownload(KorvaneSim &sim, const QByteArray &script, quint64 now, quint16 checksum) {
  Exchange ex;
  ex.enter = sim.receive(KorvaneSim::CtrlP, now);
  for (int i = 0; i < script.size(); ++i) {
    const QByteArray reply =
        sim.receive(QByteArray::number(quint8(script[i]), 16).rightJustified(2, '0').toUpper(), now);
    if (reply.contains('.'))
      ex.dotsAfter << i + 1;
  }
  ex.end = sim.receive("\n" + QByteArray::number(checksum, 16).rightJustified(4, '0').toUpper() + "\n", now);
  return ex;
}

Exchange feedDebugDownload(KorvaneSim &sim, const QByteArray &script, quint16 checksum) {
  Exchange ex;
  QByteArray head;
  head.append(char(KorvaneSim::DebugStart))
      .append(char(script.size() >> 8))
      .append(char(script.size() & 0xff));
  ex.enter = sim.receive(head, 0);
  for (int i = 0; i < script.size(); ++i) {
    const QByteArray reply = sim.receive(quint8(script[i]), 0);
    for (int d = 0; d < reply.count('.'); ++d)
      ex.dotsAfter << i + 1;
  }
  QByteArray tail;
  tail.append(char(checksum >> 8)).append(char(checksum & 0xff));
  ex.end = sim.receive(tail, 0);
  return ex;
}
} // namespace

class TestKorvaneSim : public QObject {
  Q_OBJECT
private slots:
  void answers_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray extra = KorvaneSim::ExtraText;
    // Configuration interface.
    QTest::newRow("0x14 -> OK") << Mode::Config << "" << QByteArray("\x14") << QByteArray("OK");
    QTest::newRow("0x14 0x14 -> OKOK") << Mode::Config << "" << QByteArray("\x14\x14") << QByteArray("OKOK");
    QTest::newRow("extra text never splits OKOK")
        << Mode::Config << "extra garbage" << QByteArray("\x14\x14") << QByteArray("OKOK");
    QTest::newRow("lower case ok") << Mode::Config << "lower" << QByteArray("\x14") << QByteArray("ok");
    QTest::newRow("silent") << Mode::Config << "silent" << QByteArray("\x14\x10") << QByteArray();
    QTest::newRow("0x10 -> dot") << Mode::Config << "" << QByteArray("\x10") << QByteArray(".");
    QTest::newRow("0x10 without handshake")
        << Mode::Config << "nohandshake" << QByteArray("\x10") << QByteArray();
    QTest::newRow("dot with extra text") << Mode::Config << "extra" << QByteArray("\x10") << "." + extra;
    QTest::newRow("dot with garbage")
        << Mode::Config << "garbage" << QByteArray("\x10") << "." + KorvaneSim::Garbage;
    QTest::newRow("other bytes ignored") << Mode::Config << "" << QByteArray("xyz\nO") << QByteArray();
    // Debug interface.
    QTest::newRow("debug 0x14 -> zero block")
        << Mode::Debug << "" << QByteArray("\x14") << KorvaneSim::DebugHello;
    QTest::newRow("debug O -> I-message")
        << Mode::Debug << "" << QByteArray("O") << QByteArray("I00000000000000");
    QTest::newRow("debug lower-case I-message")
        << Mode::Debug << "lower" << QByteArray("O") << QByteArray("i00000000000000");
    QTest::newRow("configuration mode on debug -> CC")
        << Mode::DebugConfig << "" << QByteArray("\x14O") << KorvaneSim::DebugHello + "CC";
    QTest::newRow("no download in configuration mode")
        << Mode::DebugConfig << "" << QByteArray("\x44\x00\x01\x05\x00\x05") << QByteArray();
    QTest::newRow("0x44 + length -> dot")
        << Mode::Debug << "" << QByteArray("\x44\x00\x02", 3) << QByteArray(".");
    QTest::newRow("0x44 + length without handshake")
        << Mode::Debug << "nohandshake" << QByteArray("\x44\x00\x02", 3) << QByteArray();
    QTest::newRow("two-byte frame") << Mode::Debug << "" << QByteArray("\x44\x00\x02\x01\x02\x00\x03", 7)
                                    << QByteArray("..O");
    QTest::newRow("two-byte frame, lower case")
        << Mode::Debug << "lower" << QByteArray("\x44\x00\x02\x01\x02\x00\x03", 7) << QByteArray("..o");
    QTest::newRow("empty frame") << Mode::Debug << "" << QByteArray("\x44\x00\x00\x00\x00", 5)
                                 << QByteArray(".O");
    QTest::newRow("frame with a wrong checksum")
        << Mode::Debug << "" << QByteArray("\x44\x00\x01\x05\x00\x06", 6)
        << QByteArray("..Checksum error\r\n");
  }
  void answers() {
    QFETCH(Mode, mode);
    QFETCH(QString, faults);
    QFETCH(QByteArray, sent);
    KorvaneSim sim(configFor(mode, faults));
    QTEST(sim.receive(sent, 0), "expected");
    QCOMPARE(sim.bytesReceived(), qint64(sent.size()));
  }

  void configDownload_data() {
    QTest::addColumn<QString>("faults");
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("dots");
    QTest::newRow("block points from 64") << "" << 400 << QList<int>{64, 192, 320};
    QTest::newRow("block points from 96") << "first96" << 400 << QList<int>{96, 224, 352};
    QTest::newRow("no handshake") << "nohandshake" << 400 << QList<int>{};
    QTest::newRow("three bytes") << "" << 3 << QList<int>{};
    QTest::newRow("empty script") << "" << 0 << QList<int>{};
  }
  void configDownload() {
    QFETCH(QString, faults);
    QFETCH(int, size);
    QFETCH(QList<int>, dots);
    KorvaneSim sim(configFor(Mode::Config, faults));
    const QByteArray script = bytes(size);
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 100), QByteArray("OK"));
    const Exchange ex = feedConfigDownload(sim, script, 100, scriptSum(script));
    QCOMPARE(ex.enter, faults.contains(QLatin1String("nohandshake")) ? QByteArray() : QByteArray("."));
    QCOMPARE(ex.dotsAfter, dots);
    QCOMPARE(ex.end, QByteArray("Restart"));
    QCOMPARE(sim.lastDownload().script, script);
    QCOMPARE(sim.lastDownload().computed, scriptSum(script));
    QVERIFY(sim.lastDownload().matches());
    // Silent while it restarts, then answers again.
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 100 + 1999), QByteArray());
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 100 + 2000), QByteArray("OK"));
    QCOMPARE(sim.restarts(), 1);
  }

  void configExample() {
    // 0x12 0xAB 0xFF goes out as 12ABFF, LF, 01BC, LF.
    KorvaneSim sim;
    sim.receive(QByteArray("\x10"
                           "12ABFF\n01BC\n"),
                0);
    QCOMPARE(sim.lastDownload().script, QByteArray("\x12\xab\xff"));
    QCOMPARE(sim.lastDownload().computed, quint16(0x01BC));
    QCOMPARE(sim.lastDownload().received, std::optional<quint16>(0x01BC));
  }

  void restartFaults_data() {
    QTest::addColumn<QString>("faults");
    QTest::addColumn<QByteArray>("end");
    QTest::addColumn<QByteArray>("afterRestart");
    QTest::newRow("lower-case restart") << "lower" << QByteArray("restart") << QByteArray("ok");
    QTest::newRow("no Restart") << "norestart" << QByteArray() << QByteArray("OK");
    QTest::newRow("no OK after the restart") << "deadafter" << QByteArray("Restart") << QByteArray();
    QTest::newRow("extra text after Restart") << "extra"
                                              << "Restart" + KorvaneSim::ExtraText << QByteArray("OK");
  }
  void restartFaults() {
    QFETCH(QString, faults);
    KorvaneSim sim(configFor(Mode::Config, faults));
    const QByteArray script = bytes(10);
    QTEST(feedConfigDownload(sim, script, 0, scriptSum(script)).end, "end");
    QTEST(sim.receive(KorvaneSim::CtrlT, 5000), "afterRestart");
  }

  void wrongChecksumIsRefused() {
    KorvaneSim sim;
    const QByteArray script = bytes(10);
    const Exchange ex = feedConfigDownload(sim, script, 0, quint16(scriptSum(script) + 1));
    QCOMPARE(ex.end, QByteArray("Checksum error\r\n"));
    QVERIFY(sim.lastDownload().complete());
    QVERIFY(!sim.lastDownload().matches());
    QCOMPARE(sim.restarts(), 0);
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 0), QByteArray("OK")); // no restart, still answering
  }

  void missingDotAtAChosenBlockPoint() {
    KorvaneSim::Config c;
    c.faults.skipDotAfter = {192};
    KorvaneSim sim(c);
    const QByteArray script = bytes(400);
    QCOMPARE(feedConfigDownload(sim, script, 0, scriptSum(script)).dotsAfter, (QList<int>{64, 320}));
    KorvaneSim::Config d;
    d.mode = Mode::Debug;
    d.faults.skipDotAfter = {96};
    KorvaneSim debug(d);
    QCOMPARE(feedDebugDownload(debug, script, scriptSum(script)).dotsAfter, (QList<int>{224, 352, 400}));
  }

  void debugDownloadBlockPoints() {
    KorvaneSim::Config c;
    c.mode = Mode::Debug;
    KorvaneSim sim(c);
    const QByteArray script = bytes(352);
    const Exchange ex = feedDebugDownload(sim, script, scriptSum(script));
    QCOMPARE(ex.enter, QByteArray("."));
    // The last byte is a block point as well: two dots there.
    QCOMPARE(ex.dotsAfter, (QList<int>{96, 224, 352, 352}));
    QCOMPARE(ex.end, QByteArray("O"));
    QCOMPARE(sim.lastDownload().script, script);
    QCOMPARE(sim.downloadsCompleted(), 1);
    QVERIFY(sim.summary().contains(QLatin1String("match")));
  }

  void vanishesAtTheChosenByte() {
    KorvaneSim::Config c;
    c.faults.vanishAtByte = 3;
    KorvaneSim sim(c);
    sim.receive(QByteArray("\x14\x14"), 0);
    QVERIFY(!sim.takeVanish());
    sim.receive(KorvaneSim::CtrlT, 0);
    QVERIFY(sim.takeVanish());
    QVERIFY(!sim.takeVanish());
  }

  // Off and on in the middle of a transfer: the half-sent script is gone, and the next test and
  // download are answered as on a fresh gateway.
  void powerCycleDropsTheTransfer() {
    KorvaneSim sim;
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 0), QByteArray("OK"));
    QCOMPARE(sim.receive(KorvaneSim::CtrlP, 0), QByteArray("."));
    sim.receive(QByteArray("0A1B2C"), 0);
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 0), QByteArray()); // taken for data
    sim.powerCycle();
    QCOMPARE(sim.receive(KorvaneSim::CtrlT, 0), QByteArray("OK"));
    const QByteArray script = bytes(200);
    const Exchange ex = feedConfigDownload(sim, script, 0, scriptSum(script));
    QCOMPARE(ex.end, QByteArray("Restart"));
    QCOMPARE(sim.lastDownload().script, script);
    QCOMPARE(sim.downloadsStarted(), 2);
  }

  // The gateway behind TSerialPort on a 960 bytes/s line, in virtual time: a configuration-mode
  // download paced by the gateway's dots, as the downloads drive it.
  void gatewayOnTheInProcessLine() {
    VirtualClock clock;
    SimPorts ports;
    KorvaneSim::Config config;
    config.restartMs = 3000;
    SimGateway &gateway = ports.gateway(2, config);
    ports.line(2).bytesPerSecond = 960;
    TSerialPort port;
    port.SetPromptForPort(false);
    port.SetComNumber(2);
    port.SetBaud(9600);
    QByteArray text;
    port.SetOnTriggerAvail(collectInto(text));
    port.SetOpen(true);
    QVERIFY(port.Open());
    auto await = [&](const QByteArray &what, quint64 limitMs) {
      const bool ok = clock.runUntil([&] { return text.contains(what); }, limitMs);
      text.clear();
      return ok;
    };

    port.PutChar(KorvaneSim::CtrlT);
    QVERIFY(await("OK", 200));
    port.PutChar(KorvaneSim::CtrlP);
    QVERIFY(await(".", 1000));
    const QByteArray script = bytes(200);
    const quint64 start = clock.nowMs();
    for (int i = 0; i < script.size(); ++i) {
      port.PutString(QByteArray::number(quint8(script[i]), 16).rightJustified(2, '0').toUpper());
      if (i % 16 == 0)
        QVERIFY(clock.runUntil([&] { return port.OutBuffUsed() == 0; }, 1000));
      if (i + 1 == 64 || i + 1 == 192)
        QVERIFY2(await(".", 500), qPrintable(QStringLiteral("no dot after byte %1").arg(i + 1)));
    }
    port.PutString("\n" + QByteArray::number(scriptSum(script), 16).rightJustified(4, '0').toUpper() + "\n");
    QVERIFY(await("Restart", 15000));
    // 400 characters at 960 per second take about 417 ms of line time.
    QVERIFY(clock.nowMs() - start >= 410);
    QVERIFY(clock.nowMs() - start < 1000);
    QCOMPARE(gateway.sim().lastDownload().script, script);
    QVERIFY(gateway.sim().lastDownload().matches());
    const quint64 restartAt = clock.nowMs();
    while (!text.contains("OK") && clock.nowMs() - restartAt < 15000) {
      port.PutChar(KorvaneSim::CtrlT);
      clock.advance(200);
    }
    QVERIFY(text.contains("OK"));
    QVERIFY(clock.nowMs() - restartAt >= 3000);
  }

  // A vanishing gateway breaks the line once; the port comes back after the chosen time.
  void vanishingGatewayOnTheInProcessLine() {
    VirtualClock clock;
    SimPorts ports;
    KorvaneSim::Config config;
    config.faults.vanishAtByte = 2;
    config.faults.vanishForMs = 700;
    ports.gateway(4, config);
    TSerialPort port;
    port.SetPromptForPort(false);
    QList<qint32> errors;
    port.SetOnErrorEvent([&](TSerialPort *, qint32 code) { errors << code; });
    port.SetComNumber(4);
    port.SetOpen(true);
    port.PutString("\x14\x14");
    clock.advance(50);
    QCOMPARE(errors, QList<qint32>{SerialError::DeviceRead});
    QVERIFY(!ProbeComPort(4));
    clock.advance(700);
    QVERIFY(ProbeComPort(4));
    port.SetOpen(false);
    port.SetOpen(true);
    QVERIFY(port.Open());
    QCOMPARE(errors.size(), 1);
  }
};

QTEST_GUILESS_MAIN(TestKorvaneSim)
#include "test_korvanesim.moc"
