// The serial port component on Windows' own device, under Wine, against a pseudo-terminal that the
// driver (serial_driver.py) maps as COM43 and plays: it answers each line in capitals and hangs up
// on "bye". COM45 is mapped to nothing.
#include "platform/Clock.h"
#include "platform/Log.h"
#include "serialport/SerialPortErrors.h"
#include "serialport/TSerialPort.h"
#include "serialport/windows/Win32Errors.h"

#include <QTest>

#include <windows.h>

namespace {
const quint16 kLine = 43;
const quint16 kAbsent = 45; // mapped to nothing

struct Port {
  TSerialPort port;
  QList<qint32> errors;
  QList<quint16> counts;
  QByteArray received;

  explicit Port(quint16 com) {
    port.SetPromptForPort(false);
    port.SetAutoOpen(false);
    port.SetComNumber(com);
    port.SetBaud(9600);
    port.SetOnErrorEvent([this](TSerialPort *, qint32 code) { errors << code; });
    port.SetOnTriggerAvail([this](TSerialPort *sender, quint16 count) {
      counts << count;
      QByteArray block;
      if (sender->GetBlock(block, count))
        received += block;
    });
  }
  bool waitFor(const std::function<bool()> &done) {
    return Clock::instance().waitUntil(done, Clock::instance().nowMs() + 10000);
  }
};
} // namespace

class TestSerialDevice : public QObject {
  Q_OBJECT
private slots:
  void openErrorCodes_data() {
    QTest::addColumn<quint32>("error");
    QTest::addColumn<qint32>("code");
    QTest::newRow("file not found") << quint32(ERROR_FILE_NOT_FOUND) << SerialError::BadId;
    QTest::newRow("path not found") << quint32(ERROR_PATH_NOT_FOUND) << SerialError::BadId;
    QTest::newRow("access denied: held by another program")
        << quint32(ERROR_ACCESS_DENIED) << SerialError::AlreadyOpen;
    QTest::newRow("other") << quint32(ERROR_GEN_FAILURE) << -qint32(ERROR_GEN_FAILURE);
  }
  void openErrorCodes() {
    QFETCH(quint32, error);
    QFETCH(qint32, code);
    QCOMPARE(openErrorCode(error), code);
  }

  void absentPortIsNotFound() {
    Port absent(kAbsent);
    absent.port.SetOpen(true);
    QVERIFY(!absent.port.Open());
    QCOMPARE(absent.errors, QList<qint32>{SerialError::BadId});
  }

  // The driver gets each queue at its own size: Wine's stub names both on standard error, where
  // serial_driver.py looks for them (test_serialdevice_queues).
  void driverQueuesAsAsked() {
    Port line(kLine);
    line.port.SetInSize(8192);
    line.port.SetOutSize(32768);
    line.port.SetOpen(true);
    QVERIFY2(line.port.Open(), qPrintable(line.port.LastErrorText()));
    QCOMPARE(line.errors, QList<qint32>{});
  }

  // A driver that refuses DTR and RTS (one without modem lines) still carries the bytes: the port
  // opens without a failure, which would start a wait for a port that is open, and says what was
  // refused in the log (test_serialdevice_refusedlines).
  void refusedModemLinesLeaveThePortUsable() {
    if (qEnvironmentVariableIsEmpty("TAMBERLIN_REFUSE_MODEM_LINES"))
      QSKIP("needs the shim to refuse the modem lines (TAMBERLIN_REFUSE_MODEM_LINES)");
    QStringList logged;
    const int sink = Log::addSink([&](const QString &text, Log::Kind) { logged << text; });
    Port line(kLine);
    line.port.SetOpen(true);
    QVERIFY2(line.port.Open(), qPrintable(line.port.LastErrorText()));
    QCOMPARE(line.errors, QList<qint32>{});
    line.port.PutString("still here\n");
    QVERIFY(line.waitFor([&] { return line.received.contains("STILL HERE\n"); }));
    Log::removeSink(sink);
    QVERIFY2(logged.filter(QStringLiteral("DTR refused")).size() == 1, qPrintable(logged.join('\n')));
  }

  void bytesBothWaysThenTheLineIsLost() {
    QVERIFY(ProbeComPort(kLine));
    Port line(kLine);
    line.port.SetOpen(true);
    QVERIFY2(line.port.Open(), qPrintable(line.port.LastErrorText()));
    line.port.PutString("hello gateway\n");
    QVERIFY(line.waitFor([&] { return line.received.contains("HELLO GATEWAY\n"); }));
    QVERIFY(!line.counts.isEmpty());
    quint16 total = 0;
    for (quint16 c : line.counts)
      total += c;
    QCOMPARE(qsizetype(total), line.received.size());
    QCOMPARE(line.port.OutBuffUsed(), quint16(0));
    line.port.PutString("bye\n");
    QVERIFY(line.waitFor([&] { return line.errors.contains(SerialError::DeviceRead); }));
    QVERIFY(line.port.Open());
    line.port.SetOpen(false);
    QVERIFY(!line.port.Open());
  }
};

QTEST_GUILESS_MAIN(TestSerialDevice)
#include "test_serialdevice.moc"
