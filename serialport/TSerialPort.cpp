#include "serialport/TSerialPort.h"

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

#include <QPointer>

#include <cstring>

TSerialPort::TSerialPort(QObject *parent) : QObject(parent), m_dispatchTimer(new ClockTimer(this)) {
  m_dispatchTimer->setInterval(DispatchIntervalMs);
  // It only catches what no notification brings (a handler that holds the next event back, output
  // waiting for the device), so it runs only while there is such a thing; its ticks may share a
  // wake-up with other ports'.
  m_dispatchTimer->setCoarse(true);
  m_dispatchTimer->tag = 0;
  connect(m_dispatchTimer, &ClockTimer::timeout, this, &TSerialPort::dispatch);
  // The process may end at once (a written /F run ends with its exit code, unwinding nothing):
  // the port is closed first, so that its lock file does not stay behind.
  m_exitHook = Process::addExitHook([self = QPointer<TSerialPort>(this)] {
    if (self)
      self->DonePort();
  });
}

TSerialPort::~TSerialPort() {
  Process::removeExitHook(m_exitHook);
  m_dispatchTimer->stop();
  if (m_device) {
    m_device->disconnect(this);
    m_device->close();
  }
}

// --- configuration ------------------------------------------------------------------------

void TSerialPort::SetComNumber(quint16 n) {
  if (m_state != PortState::Open) {
    m_com = n;
    return;
  }
  closePort();
  m_com = n;
  openPort();
}

void TSerialPort::applyLine() {
  if (m_state != PortState::Open || !m_device || m_failed)
    return;
  if (const int code = m_device->setLine(m_line))
    reportError(code, m_device->detail());
}

void TSerialPort::SetBaud(qint32 baud) {
  m_line.baud = baud;
  applyLine();
}

void TSerialPort::SetParity(TParity parity) {
  m_line.parity = parity;
  applyLine();
}

void TSerialPort::SetDataBits(quint16 bits) {
  m_line.dataBits = bits;
  applyLine();
}

void TSerialPort::SetStopBits(quint16 bits) {
  m_line.stopBits = bits;
  applyLine();
}

void TSerialPort::SetInSize(quint16 bytes) {
  m_line.inSize = bytes;
  if (m_state == PortState::Open && m_device)
    m_device->setReadBufferSize(bytes);
}

void TSerialPort::SetOutSize(quint16 bytes) {
  m_line.outSize = bytes;
}

void TSerialPort::SetDTR(bool on) {
  m_line.dtr = on;
  if (m_state == PortState::Open && m_device && !m_failed) {
    if (const int code = m_device->setDtr(on))
      reportError(code, m_device->detail());
  }
}

void TSerialPort::SetRTS(bool on) {
  m_line.rts = on;
  if (m_state == PortState::Open && m_device && !m_failed) {
    if (const int code = m_device->setRts(on))
      reportError(code, m_device->detail());
  }
}

// --- open and close -----------------------------------------------------------------------

void TSerialPort::SetOpen(bool open) {
  if (open)
    openPort();
  else
    closePort();
}

void TSerialPort::InitPort() {
  if (m_state == PortState::Open)
    closePort();
  openPort();
}

void TSerialPort::DonePort() {
  closePort();
}

void TSerialPort::openPort() {
  if (m_state == PortState::Open)
    return;
  if (m_state == PortState::ShuttingDown) {
    m_reopenPending = true;
    return;
  }
  if (m_com == 0 && m_promptForPort) {
    const QString answer = Dialogs::instance().inputBox(nullptr, QStringLiteral("Serial port"),
                                                        QStringLiteral("COM port number:"), QString());
    bool ok = false;
    const uint n = answer.trimmed().toUInt(&ok);
    if (ok && n > 0 && n <= 65535)
      m_com = quint16(n);
  }
  if (m_com == 0) {
    m_lastError = SerialError::NoPortSelected;
    m_lastErrorText = serialErrorText(SerialError::NoPortSelected);
    throwSerialError(SerialError::NoPortSelected);
  }

  std::unique_ptr<SerialDevice> device = SerialDeviceProvider::instance().create(m_com);
  const int code = device ? device->open(m_line) : SerialError::BadId;
  // A refused modem line on a real port leaves the device open: that is reported, and the port is used.
  if (code < 0 && !(device && device->isOpen())) {
    const QString detail = device ? device->detail() : QString();
    device.reset();
    reportError(code, detail);
    return;
  }
  m_device = std::move(device);
  if (m_device->announcesFromEventLoop())
    connect(m_device.get(), &SerialDevice::readyRead, this, &TSerialPort::dispatch);
  else
    connect(m_device.get(), &SerialDevice::readyRead, this, &TSerialPort::scheduleDispatch);
  connect(m_device.get(), &SerialDevice::bytesWritten, this, &TSerialPort::runWriter);
  connect(m_device.get(), &SerialDevice::failed, this, &TSerialPort::onDeviceFailed);
  m_in.clear();
  m_out.clear();
  m_arrived = false;
  m_failed = false;
  ++m_generation;
  m_state = PortState::Open;
  if (code < 0)
    reportError(code, m_device->detail());
  if (m_device && m_device->bytesAvailable() > 0)
    scheduleDispatch();
}

void TSerialPort::closePort() {
  if (m_state != PortState::Open)
    return;
  m_state = PortState::ShuttingDown;
  ++m_generation;
  m_dispatchTimer->stop();
  m_out.clear();
  m_in.clear();
  m_arrived = false;
  emit outputTaken();
  if (m_device) {
    m_device->disconnect(this);
    m_device->discardOutput();
    m_device->discardInput();
    m_device->close();
    // The device may be on the stack below us (a handler that closes the port).
    m_device.release()->deleteLater();
  }
  // A running receive handler finishes the close when it returns.
  if (m_handlerDepth == 0)
    finishClose();
}

void TSerialPort::finishClose() {
  m_state = PortState::Closed;
  m_failed = false;
  if (m_reopenPending) {
    m_reopenPending = false;
    openPort();
  }
}

// --- errors ---------------------------------------------------------------------------------

void TSerialPort::reportError(qint32 code, const QString &detail) {
  m_lastError = code;
  m_lastErrorText = detail.isEmpty() ? serialErrorText(code) : detail;
  if (m_onError) {
    m_onError(this, code);
    return;
  }
  throwSerialError(code);
}

void TSerialPort::reportBackgroundError(qint32 code, quint64 generation) {
  // A failure of a device that the program has closed since is no longer news.
  if (generation != m_generation)
    return;
  try {
    reportError(code, m_device ? m_device->detail() : QString());
  } catch (const ESerialPortException &e) {
    qWarning("TSerialPort: COM%u: %s (%s)", unsigned(m_com), e.what(), qPrintable(m_lastErrorText));
  }
}

void TSerialPort::onDeviceFailed(int code) {
  if (m_failed || m_state != PortState::Open)
    return;
  // The background work stops for good; queued output can no longer go anywhere, and it must
  // not keep OutBuffUsed above 0 for callers that wait for it to drain.
  m_failed = true;
  m_dispatchTimer->stop();
  m_out.clear();
  QMetaObject::invokeMethod(
      this, [this, code, generation = m_generation] { reportBackgroundError(code, generation); },
      Qt::QueuedConnection);
}

// --- output ---------------------------------------------------------------------------------

void TSerialPort::PutChar(quint8 byte) {
  PutString(QByteArray(1, char(byte)));
}

void TSerialPort::PutString(const QByteArray &bytes) {
  if (m_state == PortState::ShuttingDown)
    return;
  if (m_state == PortState::Closed) {
    if (m_autoOpen) {
      openPort();
      if (m_state == PortState::Closed)
        return; // the failed open has been reported
    } else {
      reportError(SerialError::NotOpen);
      return;
    }
  }
  if (m_failed)
    return;
  if (m_line.outSize < m_out.size() + bytes.size()) {
    reportError(SerialError::OutputBufferTooSmall);
    return;
  }
  m_out.append(bytes);
  // A device with a writer of its own is the background writer: handed the bytes now, it spares a
  // pass of the event loop, which delays the answer to a handshake where passes are slow (Wine).
  if (m_device && m_device->writesInBackground())
    runWriter();
  else
    scheduleWriter();
  keepTickWhileNeeded();
}

quint16 TSerialPort::OutBuffUsed() const {
  return m_state == PortState::Closed ? 0 : quint16(m_out.size());
}

void TSerialPort::scheduleOnce(bool &scheduled, void (TSerialPort::*run)()) {
  if (scheduled)
    return;
  scheduled = true;
  QMetaObject::invokeMethod(
      this,
      [this, &scheduled, run] {
        scheduled = false;
        (this->*run)();
      },
      Qt::QueuedConnection);
}

void TSerialPort::scheduleWriter() {
  scheduleOnce(m_writerScheduled, &TSerialPort::runWriter);
}

void TSerialPort::runWriter() {
  if (m_state != PortState::Open || m_failed || !m_device || m_out.isEmpty())
    return;
  // The writer takes everything queued in one go, once the device has passed on the last lot.
  if (m_device->bytesToWrite() > 0)
    return;
  const QByteArray lot = std::exchange(m_out, QByteArray());
  if (!m_device->write(lot))
    onDeviceFailed(SerialError::DeviceWrite);
  emit outputTaken();
}

// --- input ----------------------------------------------------------------------------------

bool TSerialPort::GetBlock(void *Buffer, quint16 Len) {
  if (m_state == PortState::Closed) {
    reportError(SerialError::NotOpen);
    return false;
  }
  if (Len > m_in.size()) {
    reportError(SerialError::BufferIsEmpty);
    return false;
  }
  if (Len > 0)
    std::memcpy(Buffer, m_in.constData(), Len);
  m_in.remove(0, Len);
  // Room again: bytes waiting below the receive buffer may come up.
  if (m_state == PortState::Open && Len > 0 && m_device && m_device->bytesAvailable() > 0)
    scheduleDispatch();
  return true;
}

bool TSerialPort::GetBlock(QByteArray &Buffer, quint16 Len) {
  QByteArray block(Len, Qt::Uninitialized);
  if (!GetBlock(block.data(), Len))
    return false;
  Buffer = block;
  return true;
}

void TSerialPort::FlushInBuffer() {
  if (m_state == PortState::Closed) {
    reportError(SerialError::NotOpen);
    return;
  }
  m_in.clear();
  m_arrived = false;
  if (m_device && !m_failed)
    m_device->discardInput();
}

void TSerialPort::scheduleDispatch() {
  scheduleOnce(m_dispatchScheduled, &TSerialPort::dispatch);
}

void TSerialPort::pullFromDevice() {
  while (m_in.size() < ReceiveBufferSize && m_device->bytesAvailable() > 0) {
    const qint64 room = qMin<qint64>(ReadPieceSize, ReceiveBufferSize - m_in.size());
    const QByteArray piece = m_device->read(room);
    if (piece.isEmpty())
      break;
    m_in.append(piece);
    m_arrived = true;
  }
}

void TSerialPort::dispatch() {
  if (m_state != PortState::Open || m_failed || !m_device)
    return;
  pullFromDevice();
  // Output that waited for the device is picked up here too, in case a notification was missed.
  if (!m_out.isEmpty())
    runWriter();
  // The handler may delete the port.
  QPointer<TSerialPort> self(this);
  deliver();
  if (self)
    keepTickWhileNeeded();
}

void TSerialPort::keepTickWhileNeeded() {
  // An idle port, or one whose data all came by notification, wakes nobody. Bytes held back while
  // a handler runs are delivered by a tick once it has run too long.
  const bool needed =
      m_state == PortState::Open && !m_failed && ((m_handlerDepth > 0 && m_arrived) || !m_out.isEmpty());
  if (!needed)
    m_dispatchTimer->stop();
  else if (!m_dispatchTimer->isActive())
    m_dispatchTimer->start();
}

void TSerialPort::deliver() {
  if (!m_arrived || m_in.isEmpty())
    return;
  const quint64 now = Clock::instance().nowMs();
  if (m_handlerDepth > 0 && now - m_handlerStartMs < quint64(HandlerWaitLimitMs))
    return;
  m_arrived = false;
  const quint16 count = quint16(m_in.size());
  // A copy: the handler may install another one.
  const TTriggerAvailEvent handler = m_onTriggerAvail;
  if (!handler)
    return;
  const quint64 outerStart = m_handlerStartMs;
  ++m_handlerDepth;
  m_handlerStartMs = now;
  QPointer<TSerialPort> self(this);
  try {
    handler(this, count);
  } catch (const std::exception &e) {
    // An exception cannot travel through the event loop that called us.
    qWarning("TSerialPort: receive handler raised: %s", e.what());
  }
  if (!self)
    return;
  --m_handlerDepth;
  m_handlerStartMs = outerStart;
  if (m_handlerDepth > 0)
    return;
  if (m_state == PortState::ShuttingDown) {
    finishClose();
    return;
  }
  // Bytes that came while the handler ran are announced now, not at the next tick.
  if (m_state == PortState::Open && (m_arrived || (m_device && m_device->bytesAvailable() > 0)))
    scheduleDispatch();
}

bool ProbeComPort(quint16 n) {
  return n != 0 && SerialDeviceProvider::instance().exists(n);
}
