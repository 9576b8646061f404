#pragma once

#include "serialport/SerialDevice.h"
#include "serialport/SerialPortErrors.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>

class ClockTimer;
class TSerialPort;

// handler(sender, Count): Count unread received bytes wait in the receive buffer (1 to 8192).
using TTriggerAvailEvent = std::function<void(TSerialPort *sender, quint16 Count)>;
// handler(sender, ErrorCode): a negative error code.
using TErrorEvent = std::function<void(TSerialPort *sender, qint32 ErrorCode)>;

// The serial port component: opens COM n (through the port map) with given line settings, queues
// output without blocking, collects input in an 8192-byte receive buffer and hands it to the
// program through OnTriggerAvail, reports every failure as a negative code.
//
// Everything runs on the user-interface thread: device input and output arrive as events of its
// loop, and the receive event is delivered from that loop, so a handler runs wherever the program
// processes messages. Receive events never nest while a handler runs, unless it has run for more
// than 3000 ms: then the component stops waiting for it and delivers again when further bytes
// arrive.
//
// Failures go to OnErrorEvent when one is installed, otherwise they raise the exception of their
// code (ENoPortSelected is always raised). Background failures (-161, -160) that find no handler
// cannot raise out of the event loop; they are kept in LastError() and logged as warnings.
class TSerialPort : public QObject {
  Q_OBJECT
public:
  static constexpr int ReceiveBufferSize = 8192;
  static constexpr int ReadPieceSize = 256;
  static constexpr int DispatchIntervalMs = 50;
  static constexpr int HandlerWaitLimitMs = 3000;

  enum class PortState { Closed, Open, ShuttingDown };

  explicit TSerialPort(QObject *parent = nullptr);
  ~TSerialPort() override;

  quint16 ComNumber() const { return m_com; }
  void SetComNumber(quint16 n);
  qint32 Baud() const { return m_line.baud; }
  void SetBaud(qint32 baud);
  TParity Parity() const { return m_line.parity; }
  void SetParity(TParity parity);
  quint16 DataBits() const { return m_line.dataBits; }
  void SetDataBits(quint16 bits);
  quint16 StopBits() const { return m_line.stopBits; }
  void SetStopBits(quint16 bits);
  quint16 InSize() const { return m_line.inSize; }
  void SetInSize(quint16 bytes);
  quint16 OutSize() const { return m_line.outSize; }
  void SetOutSize(quint16 bytes);
  bool DTR() const { return m_line.dtr; }
  void SetDTR(bool on);
  bool RTS() const { return m_line.rts; }
  void SetRTS(bool on);
  bool PromptForPort() const { return m_promptForPort; }
  void SetPromptForPort(bool on) { m_promptForPort = on; }
  bool AutoOpen() const { return m_autoOpen; }
  void SetAutoOpen(bool on) { m_autoOpen = on; }

  // True while open and while shutting down.
  bool Open() const { return m_state != PortState::Closed; }
  void SetOpen(bool open);
  PortState State() const { return m_state; }
  // Opens with the current settings whatever Open says (closing first when open).
  void InitPort();
  void DonePort();

  void PutChar(quint8 byte);
  void PutString(const QByteArray &bytes);
  // Moves exactly Len received bytes into Buffer; false (and -3007) when fewer are buffered.
  bool GetBlock(void *Buffer, quint16 Len);
  bool GetBlock(QByteArray &Buffer, quint16 Len);
  void FlushInBuffer();
  // Queued bytes that the device has not taken yet; 0 while closed.
  quint16 OutBuffUsed() const;
  // Unread bytes in the receive buffer.
  quint16 InBuffUsed() const { return quint16(m_in.size()); }

  TTriggerAvailEvent OnTriggerAvail() const { return m_onTriggerAvail; }
  void SetOnTriggerAvail(TTriggerAvailEvent handler) { m_onTriggerAvail = std::move(handler); }
  TErrorEvent OnErrorEvent() const { return m_onError; }
  void SetOnErrorEvent(TErrorEvent handler) { m_onError = std::move(handler); }

  // The last code reported, and words for it that name the port and the device and, when the
  // user can fix it, say how (e.g. the dialout group for -13).
  qint32 LastError() const { return m_lastError; }
  QString LastErrorText() const { return m_lastErrorText; }
  // The component's text for a code; the exception messages for its own codes.
  static QString errorText(qint32 code) { return serialErrorText(code); }
  static QString errorHint(qint32 code) { return serialErrorHint(code); }

signals:
  // The output buffer was emptied: its bytes went to the device, or the port closed. A failure
  // is not announced here: it reaches the owner through the error handler.
  void outputTaken();

private:
  void openPort();
  void closePort();
  void finishClose();
  void reportError(qint32 code, const QString &detail = {});
  void reportBackgroundError(qint32 code, quint64 generation);
  void applyLine();

  // Queues run() once: further requests before it runs are folded into it.
  void scheduleOnce(bool &scheduled, void (TSerialPort::*run)());
  void scheduleWriter();
  void runWriter();
  void scheduleDispatch();
  void dispatch();
  void pullFromDevice();
  void deliver();
  void keepTickWhileNeeded();
  void onDeviceFailed(int code);

  quint16 m_com = 0;
  SerialLineSettings m_line;
  bool m_promptForPort = true;
  bool m_autoOpen = true;

  PortState m_state = PortState::Closed;
  bool m_reopenPending = false;
  bool m_failed = false;
  quint64 m_generation = 0;
  std::unique_ptr<SerialDevice> m_device;

  QByteArray m_out;
  QByteArray m_in;
  bool m_arrived = false;
  bool m_writerScheduled = false;
  bool m_dispatchScheduled = false;
  int m_handlerDepth = 0;
  quint64 m_handlerStartMs = 0;
  ClockTimer *m_dispatchTimer;
  int m_exitHook = 0;

  TTriggerAvailEvent m_onTriggerAvail;
  TErrorEvent m_onError;
  qint32 m_lastError = 0;
  QString m_lastErrorText;
};

// Whether COM n exists, without opening it: a port that another program holds exists.
bool ProbeComPort(quint16 n);
