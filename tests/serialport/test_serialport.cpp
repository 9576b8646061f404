// TSerialPort against the in-process line, in virtual time.
#include "app/DelayWithMessages.h"
#include "platform/Process.h"
#include "serialport/TSerialPort.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QTest>

#include <memory>

namespace {
struct Event {
  quint64 atMs;
  quint16 count;
  int depth; // handlers running when it started, itself included
};
} // namespace

class TestSerialPort : public QObject {
  Q_OBJECT

  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<SimPorts> ports;
  std::unique_ptr<TSerialPort> port;
  QList<qint32> errors;
  QList<Event> events;
  QByteArray received;
  int running = 0;
  // What the handler does with an event; default: read everything.
  std::function<void(quint16)> onEvent;

  SimLine &openOn(quint16 n) {
    SimLine &line = ports->line(n);
    port->SetComNumber(n);
    port->SetOpen(true);
    return line;
  }

private slots:
  void init() {
    clock = std::make_unique<VirtualClock>();
    ports = std::make_unique<SimPorts>();
    port = std::make_unique<TSerialPort>();
    port->SetPromptForPort(false);
    port->SetAutoOpen(false);
    errors.clear();
    events.clear();
    received.clear();
    onEvent = nullptr;
    port->SetOnErrorEvent([this](TSerialPort *, qint32 code) { errors << code; });
    port->SetOnTriggerAvail([this](TSerialPort *sender, quint16 count) {
      ++running;
      events << Event{clock->nowMs(), count, running};
      if (onEvent) {
        onEvent(count);
      } else {
        QByteArray block;
        if (sender->GetBlock(block, count))
          received += block;
      }
      --running;
    });
  }
  void cleanup() {
    port.reset();
    ports.reset();
    clock.reset();
  }

  void creationValues() {
    TSerialPort fresh;
    QCOMPARE(fresh.ComNumber(), quint16(0));
    QCOMPARE(fresh.Baud(), 19200);
    QCOMPARE(fresh.Parity(), pNone);
    QCOMPARE(fresh.DataBits(), quint16(8));
    QCOMPARE(fresh.StopBits(), quint16(1));
    QCOMPARE(fresh.InSize(), quint16(4096));
    QCOMPARE(fresh.OutSize(), quint16(4096));
    QVERIFY(fresh.DTR() && fresh.RTS() && fresh.PromptForPort() && fresh.AutoOpen());
    QVERIFY(!fresh.Open());
    QCOMPARE(fresh.OutBuffUsed(), quint16(0));
  }

  void settingsApplyAtOnceWhileOpen() {
    port->SetBaud(9600);
    port->SetRTS(false);
    SimLine &line = openOn(2);
    QVERIFY(port->Open());
    QCOMPARE(line.deviceSettings().baud, 9600);
    QVERIFY(line.deviceSettings().dtr);
    QVERIFY(!line.deviceSettings().rts);
    port->SetBaud(19200);
    port->SetParity(pEven);
    port->SetDTR(false);
    QCOMPARE(line.deviceSettings().baud, 19200);
    QCOMPARE(line.deviceSettings().parity, pEven);
    QVERIFY(!line.deviceSettings().dtr);
    QVERIFY(errors.isEmpty());
    // A setting that the device refuses is reported like any failure; the port stays open.
    port->SetDataBits(9);
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first() < 0);
    QVERIFY(port->Open());
  }

  void openAndInitPortAndDonePort() {
    SimLine &line = openOn(4);
    QVERIFY(port->Open());
    port->InitPort(); // opens again, whatever Open says
    QVERIFY(port->Open());
    QCOMPARE(line.openCount(), 2);
    port->DonePort();
    QVERIFY(!port->Open());
    QVERIFY(!line.isOpen());
    port->DonePort();
    port->InitPort();
    QVERIFY(port->Open());
    QCOMPARE(line.openCount(), 3);
    QVERIFY(errors.isEmpty());
  }

  // The exit hooks close a port that is still open. A port destroyed before takes only its own
  // hook along: the others stay.
  void exitHooksCloseTheOpenPort() {
    SimLine &line = openOn(4);
    auto later = std::make_unique<TSerialPort>();
    later.reset();
    Process::runExitHooks();
    QVERIFY(!port->Open());
    QVERIFY(!line.isOpen());
  }

  // A device with a writer of its own is the background writer: it is handed the bytes at once,
  // and what comes while it is busy goes to it in one lot once it has passed the last one on.
  void deviceWithItsOwnWriterTakesTheOutputAtOnce() {
    SimLine &line = ports->line(2);
    line.ownWriter = true;
    line.bytesPerSecond = 960;
    openOn(2);
    port->PutString("abc");
    QCOMPARE(port->OutBuffUsed(), quint16(0));
    port->PutString("de");
    port->PutChar('f');
    QCOMPARE(port->OutBuffUsed(), quint16(3)); // the device is busy with abc
    clock->advance(line.lineTimeMs(3));
    QCOMPARE(port->OutBuffUsed(), quint16(0));
    clock->advance(line.lineTimeMs(3));
    QCOMPARE(line.received(), QByteArray("abcdef"));
    QVERIFY(errors.isEmpty());
  }

  void blockLargerThanFreeSpaceQueuesNothing() {
    port->SetOutSize(8);
    SimLine &line = openOn(2);
    port->PutString("12345");
    QCOMPARE(port->OutBuffUsed(), quint16(5));
    port->PutString("abcde"); // 3 bytes free
    QCOMPARE(errors, QList<qint32>{SerialError::OutputBufferTooSmall});
    QCOMPARE(port->OutBuffUsed(), quint16(5));
    port->PutString("xyz"); // fits exactly
    QCOMPARE(port->OutBuffUsed(), quint16(8));
    clock->advance(10);
    QCOMPARE(line.received(), QByteArray("12345xyz"));
    QCOMPARE(port->OutBuffUsed(), quint16(0));
  }

  // The writer takes the whole queue once the device has passed on its last lot; closing discards
  // what has not gone.
  void outputQueueFollowsTheLine() {
    SimLine &line = openOn(2);
    line.bytesPerSecond = 960;
    port->PutString(QByteArray(96, 'a')); // 100 ms of line time
    clock->processMessages();
    QCOMPARE(port->OutBuffUsed(), quint16(0)); // taken by the writer
    port->PutString(QByteArray(10, 'b'));
    clock->advance(50);
    QCOMPARE(port->OutBuffUsed(), quint16(10)); // the device is still busy with the first lot
    QCOMPARE(line.received().size(), 0);
    clock->advance(60);
    QCOMPARE(line.received(), QByteArray(96, 'a'));
    QCOMPARE(port->OutBuffUsed(), quint16(0));
    port->PutString(QByteArray(5, 'c'));
    port->SetOpen(false);
    QCOMPARE(port->OutBuffUsed(), quint16(0));
    clock->advance(500);
    QCOMPARE(line.received(), QByteArray(96, 'a')); // the b's were in flight and went with the close
    QVERIFY(errors.isEmpty());
  }

  void operationsOnAClosedPort_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("PutChar") << 0;
    QTest::newRow("PutString") << 1;
    QTest::newRow("GetBlock") << 2;
    QTest::newRow("FlushInBuffer") << 3;
  }
  void operationsOnAClosedPort() {
    QFETCH(int, operation);
    SimLine &line = ports->line(2);
    port->SetComNumber(2);
    auto run = [&](TSerialPort &p) {
      char buffer[4];
      switch (operation) {
      case 0:
        p.PutChar(0x14);
        break;
      case 1:
        p.PutString("abc");
        break;
      case 2:
        p.GetBlock(buffer, 1);
        break;
      default:
        p.FlushInBuffer();
      }
    };
    run(*port);
    QCOMPARE(errors, QList<qint32>{SerialError::NotOpen});
    QVERIFY(!port->Open());
    QCOMPARE(line.openCount(), 0);

    TSerialPort bare;
    bare.SetComNumber(2);
    bare.SetAutoOpen(false);
    QVERIFY_THROWS_EXCEPTION(ECommNotOpen, run(bare));
  }

  void autoOpenOpensForAWrite() {
    SimLine &line = ports->line(3);
    port->SetComNumber(3);
    port->SetAutoOpen(true);
    port->PutChar(0x14);
    QVERIFY(port->Open());
    clock->advance(5);
    QCOMPARE(line.received(), QByteArray("\x14"));
  }

  void getBlockForMoreThanIsBufferedReadsNothing() {
    SimLine &line = openOn(2);
    onEvent = [](quint16) {};
    line.send("abc");
    clock->advance(5);
    QCOMPARE(port->InBuffUsed(), quint16(3));
    char buffer[8] = {};
    QVERIFY(!port->GetBlock(buffer, 4));
    QCOMPARE(errors, QList<qint32>{SerialError::BufferIsEmpty});
    QCOMPARE(port->InBuffUsed(), quint16(3));
    QVERIFY(port->GetBlock(buffer, 3));
    QCOMPARE(QByteArray(buffer, 3), QByteArray("abc"));

    TSerialPort bare;
    SimLine &other = ports->line(5);
    bare.SetComNumber(5);
    bare.SetOpen(true);
    other.send("x");
    clock->advance(5);
    QVERIFY_THROWS_EXCEPTION(EBufferIsEmpty, bare.GetBlock(buffer, 2));
  }

  void noPortSelectedIsAlwaysRaised() {
    QVERIFY(static_cast<bool>(port->OnErrorEvent()));
    QVERIFY_THROWS_EXCEPTION(ENoPortSelected, port->SetOpen(true));
    QVERIFY(errors.isEmpty());
    QVERIFY(!port->Open());
    try {
      port->InitPort();
    } catch (const ENoPortSelected &e) {
      QCOMPARE(e.code(), SerialError::NoPortSelected);
      QCOMPARE(e.message(), QStringLiteral("The ComNumber property of the TSerialPort has not been set"));
    }
  }

  void promptForPortAsksForTheNumber() {
    ScriptedDialogs dialogs;
    SimLine &line = ports->line(7);
    port->SetPromptForPort(true);
    dialogs.answerInput(QStringLiteral("7"));
    port->SetOpen(true);
    QVERIFY(port->Open());
    QCOMPARE(port->ComNumber(), quint16(7));
    QCOMPARE(line.openCount(), 1);
    port->SetOpen(false);
    port->SetComNumber(0);
    dialogs.cancelInput();
    QVERIFY_THROWS_EXCEPTION(ENoPortSelected, port->SetOpen(true));
  }

  void openFailuresAreReported_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("held");
    QTest::addColumn<qint32>("code");
    QTest::newRow("missing") << false << false << SerialError::BadId;
    QTest::newRow("held by another program") << true << true << SerialError::AlreadyOpen;
  }
  void openFailuresAreReported() {
    QFETCH(bool, present);
    QFETCH(bool, held);
    QFETCH(qint32, code);
    SimLine &line = ports->line(9);
    line.setPresent(present);
    line.heldByOther = held;
    QCOMPARE(ProbeComPort(9), present);
    openOn(9);
    QCOMPARE(errors, QList<qint32>{code});
    QVERIFY(!port->Open());
    QVERIFY(!ProbeComPort(0));
    QVERIFY(!ProbeComPort(10));
  }

  void changingComNumberWhileOpenReopensOnTheNewPort() {
    SimLine &two = openOn(2);
    SimLine &three = ports->line(3);
    port->SetComNumber(3);
    QVERIFY(port->Open());
    QVERIFY(!two.isOpen());
    QVERIFY(three.isOpen());
    port->PutString("hi");
    clock->advance(5);
    QCOMPARE(three.received(), QByteArray("hi"));
    QCOMPARE(two.received(), QByteArray());
    // A new number that cannot be opened leaves the port closed, with the failure reported.
    port->SetComNumber(11);
    QVERIFY(!port->Open());
    QCOMPARE(errors, QList<qint32>{SerialError::BadId});
  }

  void receiveEventCountsUnreadBytesAgain() {
    SimLine &line = openOn(2);
    onEvent = [this](quint16) {
      QByteArray block;
      port->GetBlock(block, 2);
      received += block;
    };
    const quint64 start = clock->nowMs();
    line.send("0123456789", 10);
    clock->advance(300);
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].count, quint16(10));
    QVERIFY(events[0].atMs - start <= 10 + TSerialPort::DispatchIntervalMs);
    line.send("ab");
    clock->advance(5);
    QCOMPARE(events.size(), 2);
    QCOMPARE(events[1].count, quint16(8 + 2));
    QCOMPARE(received, QByteArray("0123"));
    // Flushed bytes are gone and announce nothing.
    port->FlushInBuffer();
    QCOMPARE(port->InBuffUsed(), quint16(0));
    clock->advance(200);
    QCOMPARE(events.size(), 2);
  }

  void receiveBufferHoldsAtMost8192AndLosesNothing() {
    SimLine &line = openOn(2);
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
      big.append(char(i % 251));
    line.send(big);
    clock->advance(1000);
    QCOMPARE(received, big);
    QCOMPARE(events.first().count, quint16(TSerialPort::ReceiveBufferSize));
  }

  // A handler that pumps messages gets no second event while it runs (up to 3000 ms); the bytes
  // that came meanwhile are announced when it returns.
  void eventsDoNotNest_data() {
    QTest::addColumn<int>("handlerMs");
    QTest::addColumn<bool>("nested");
    QTest::newRow("short handler") << 1000 << false;
    QTest::newRow("handler beyond the limit") << 5000 << true;
  }
  void eventsDoNotNest() {
    QFETCH(int, handlerMs);
    QFETCH(bool, nested);
    SimLine &line = openOn(2);
    bool first = true;
    onEvent = [&](quint16 count) {
      QByteArray block;
      port->GetBlock(block, count);
      received += block;
      if (std::exchange(first, false))
        DelayWithMessages(quint32(handlerMs));
    };
    const quint64 start = clock->nowMs();
    line.send("a");
    line.send("b", 500);
    clock->advance(quint64(handlerMs) + 200);
    QCOMPARE(received, QByteArray("ab"));
    QCOMPARE(events.size(), 2);
    QCOMPARE(events[1].depth, nested ? 2 : 1);
    const quint64 second = events[1].atMs - start;
    if (nested) {
      QVERIFY(second >= quint64(TSerialPort::HandlerWaitLimitMs));
      QVERIFY(second <= quint64(TSerialPort::HandlerWaitLimitMs + TSerialPort::DispatchIntervalMs));
    } else {
      QCOMPARE(second, quint64(handlerMs));
    }
  }

  void replacedHandlerGetsTheNextEvent() {
    SimLine &line = openOn(2);
    QList<quint16> other;
    onEvent = [this, &other](quint16 count) {
      QByteArray block;
      port->GetBlock(block, count);
      port->SetOnTriggerAvail([&other](TSerialPort *sender, quint16 c) {
        other << c;
        QByteArray b;
        sender->GetBlock(b, c);
      });
    };
    line.send("1");
    clock->advance(60);
    line.send("22");
    clock->advance(60);
    QCOMPARE(events.size(), 1);
    QCOMPARE(other, QList<quint16>{2});
  }

  // A close inside a handler completes when the handler returns; an open asked for meanwhile is
  // carried out then.
  void closeInsideAHandlerWaitsForIt() {
    SimLine &line = openOn(2);
    bool openWhileClosing = false;
    onEvent = [&](quint16) {
      port->SetOpen(false);
      openWhileClosing = port->Open();
      port->SetOpen(true);
      port->PutString("dropped");
    };
    line.send("x");
    clock->advance(60);
    QVERIFY(openWhileClosing);
    QVERIFY(port->Open());
    QCOMPARE(line.openCount(), 2);
    QVERIFY(errors.isEmpty());
    port->PutString("after");
    clock->advance(5);
    QCOMPARE(line.received(), QByteArray("after"));
  }

  void vanishedDeviceReportsOnceAndComesBack() {
    SimLine &line = openOn(6);
    line.vanish(1000);
    clock->advance(100);
    QCOMPARE(errors, QList<qint32>{SerialError::DeviceRead});
    QVERIFY(port->Open());
    port->PutString("nowhere");
    QCOMPARE(port->OutBuffUsed(), quint16(0));
    QVERIFY(!ProbeComPort(6));
    port->SetOpen(false);
    port->SetOpen(true);
    QCOMPARE(errors.last(), SerialError::BadId);
    clock->advance(1000);
    QVERIFY(ProbeComPort(6));
    port->SetOpen(true);
    QVERIFY(port->Open());
    QCOMPARE(errors.size(), 2);
  }

  void backgroundFailureWithoutHandlerDoesNotRaise() {
    port->SetOnErrorEvent(nullptr);
    SimLine &line = openOn(6);
    line.vanish();
    clock->advance(100);
    QCOMPARE(port->LastError(), SerialError::DeviceRead);
    QVERIFY(port->Open());
  }
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "test_serialport.moc"
