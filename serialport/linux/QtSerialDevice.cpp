#include "serialport/linux/QtSerialDevice.h"

#include "platform/linux/PortMap.h"
#include "platform/linux/Pty.h"
#include "serialport/SerialPortErrors.h"
#include "serialport/linux/DeviceNode.h"
#include "serialport/linux/DeviceNodeLock.h"

#include <QSerialPort>

#include <cerrno>

namespace {
QSerialPort::Parity toQt(TParity p) {
  switch (p) {
  case pOdd:
    return QSerialPort::OddParity;
  case pEven:
    return QSerialPort::EvenParity;
  case pMark:
    return QSerialPort::MarkParity;
  case pSpace:
    return QSerialPort::SpaceParity;
  case pNone:
    break;
  }
  return QSerialPort::NoParity;
}
} // namespace

QtSerialDevice::QtSerialDevice(quint16 comNumber, QObject *parent) : SerialDevice(parent), m_com(comNumber) {}

QtSerialDevice::~QtSerialDevice() {
  close();
}

int QtSerialDevice::failure(int code, const QString &detail) {
  m_detail = detail;
  return code;
}

int QtSerialDevice::lastSystemError(int fallback) const {
  const int e = m_port ? errnoFromText(m_port->errorString()) : 0;
  return e ? -e : fallback;
}

int QtSerialDevice::open(const SerialLineSettings &settings) {
  close();
  m_detail.clear();
  const QString com = QStringLiteral("COM%1").arg(m_com);
  PortMap map;
  map.refresh();
  const PortMap::Resolved where = map.resolve(m_com);
  if (where.state == PortMap::State::NoEntry)
    return failure(SerialError::BadId,
                   QStringLiteral("%1 is not in the port map: there is no entry %2").arg(com, where.entry));
  if (where.state == PortMap::State::Dangling)
    return failure(
        SerialError::BadId,
        QStringLiteral("%1 leads to %2, which does not exist (device unplugged?)").arg(com, where.target));
  m_path = where.device;

  if (const int e = checkDeviceNode(m_path)) {
    const int code = e == ENOENT ? SerialError::BadId : -e;
    QString text = QStringLiteral("%1 (%2): %3").arg(com, m_path, systemErrorText(e));
    if (e == ENOTTY)
      text = QStringLiteral("%1 leads to %2, which is not a serial device").arg(com, m_path);
    if (const QString hint = serialErrorHint(code); !hint.isEmpty() && code != SerialError::BadId)
      text += QStringLiteral(". ") + hint;
    return failure(code, text);
  }

  // A lock left behind by a program that has ended is no reason to refuse the port; a lock of a
  // live program is, whatever form it has.
  const SerialLockCheck lock = checkSerialLock(m_path);
  if (lock.holder)
    return failure(SerialError::AlreadyOpen, QStringLiteral("%1 (%2): in use by process %3 (lock file %4)")
                                                 .arg(com, m_path)
                                                 .arg(lock.holder)
                                                 .arg(serialLockFile(m_path)));
  if (lock.removeError)
    return failure(-lock.removeError,
                   QStringLiteral("%1 (%2): the lock file %3 of a program that has ended cannot be removed "
                                  "(%4); remove it, for example with: sudo rm %3")
                       .arg(com, m_path, serialLockFile(m_path), systemErrorText(lock.removeError)));

  m_pty = isPseudoTerminal(m_path);
  m_port = new QSerialPort(this);
  m_port->setPortName(m_path);
  if (!m_port->open(QIODevice::ReadWrite)) {
    int code = lastSystemError(-EIO);
    switch (m_port->error()) {
    case QSerialPort::DeviceNotFoundError:
      code = SerialError::BadId;
      break;
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
      // Access to the node was checked above, so this is the lock or the exclusive open of
      // another program, unless the system said plainly that access was denied.
      code = code == -EACCES ? SerialError::PermissionDenied : SerialError::AlreadyOpen;
      break;
    default:
      break;
    }
    QString text = QStringLiteral("%1 (%2): %3").arg(com, m_path, m_port->errorString());
    if (code == SerialError::PermissionDenied)
      text += QStringLiteral(". ") + serialErrorHint(code);
    close();
    return failure(code, text);
  }
  // The gateway answers each block with a dot: an adapter that holds it back for its latency timer
  // makes every block wait that long.
  m_lowLatency.engage(int(m_port->handle()));
  setReadBufferSize(settings.inSize);
  if (const int code = setLine(settings)) {
    close();
    return code;
  }
  // Modem lines: a refusal on a real port is reported by the caller; ptys have none.
  int lineCode = setDtr(settings.dtr);
  if (const int rtsCode = setRts(settings.rts); lineCode == 0)
    lineCode = rtsCode;
  m_port->clear(QSerialPort::AllDirections);
  m_port->clearError();

  connect(m_port, &QSerialPort::readyRead, this, &SerialDevice::readyRead);
  connect(m_port, &QSerialPort::bytesWritten, this, &SerialDevice::bytesWritten);
  connect(m_port, &QSerialPort::errorOccurred, this,
          [this](QSerialPort::SerialPortError e) { onError(int(e)); });
  m_halted = false;
  return lineCode;
}

void QtSerialDevice::close() {
  if (!m_port)
    return;
  QSerialPort *port = m_port;
  m_port = nullptr;
  port->disconnect(this);
  if (port->isOpen()) {
    m_lowLatency.release(int(port->handle()));
    port->close();
  }
  // Deleted later: close() may run inside one of the port's own signals.
  port->deleteLater();
}

bool QtSerialDevice::isOpen() const {
  return m_port && m_port->isOpen();
}

int QtSerialDevice::setLine(const SerialLineSettings &s) {
  if (!m_port)
    return 0;
  const bool ok = m_port->setBaudRate(s.baud) && m_port->setDataBits(QSerialPort::DataBits(s.dataBits)) &&
                  m_port->setParity(toQt(s.parity)) &&
                  m_port->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
                  m_port->setFlowControl(QSerialPort::NoFlowControl);
  if (ok && (s.dataBits >= 5 && s.dataBits <= 8) && (s.stopBits == 1 || s.stopBits == 2))
    return 0;
  const int code = ok ? -EINVAL : lastSystemError(-EINVAL);
  m_detail = QStringLiteral("%1: line settings %2 baud, %3 data bits, %4 stop bits refused")
                 .arg(m_path)
                 .arg(s.baud)
                 .arg(s.dataBits)
                 .arg(s.stopBits);
  m_port->clearError();
  return code;
}

int QtSerialDevice::setDtr(bool on) {
  if (!m_port || m_port->setDataTerminalReady(on) || m_pty) {
    forgetRefusal();
    return 0;
  }
  const int code = lastSystemError(-EIO);
  m_detail = QStringLiteral("%1: DTR refused: %2").arg(m_path, m_port->errorString());
  m_port->clearError();
  return code;
}

int QtSerialDevice::setRts(bool on) {
  if (!m_port || m_port->setRequestToSend(on) || m_pty) {
    forgetRefusal();
    return 0;
  }
  const int code = lastSystemError(-EIO);
  m_detail = QStringLiteral("%1: RTS refused: %2").arg(m_path, m_port->errorString());
  m_port->clearError();
  return code;
}

void QtSerialDevice::setReadBufferSize(qint64 bytes) {
  if (m_port)
    m_port->setReadBufferSize(bytes);
}

qint64 QtSerialDevice::bytesAvailable() const {
  return m_port && !m_halted ? m_port->bytesAvailable() : 0;
}

QByteArray QtSerialDevice::read(qint64 maxBytes) {
  return m_port && !m_halted ? m_port->read(maxBytes) : QByteArray();
}

bool QtSerialDevice::write(const QByteArray &bytes) {
  return m_port && !m_halted && m_port->write(bytes) == bytes.size();
}

qint64 QtSerialDevice::bytesToWrite() const {
  return m_port && !m_halted ? m_port->bytesToWrite() : 0;
}

void QtSerialDevice::discardInput() {
  if (m_port && !m_halted)
    m_port->clear(QSerialPort::Input);
}

void QtSerialDevice::discardOutput() {
  if (m_port && !m_halted)
    m_port->clear(QSerialPort::Output);
}

void QtSerialDevice::onError(int error) {
  switch (QSerialPort::SerialPortError(error)) {
  case QSerialPort::ReadError:
  case QSerialPort::ResourceError:
    halt(SerialError::DeviceRead);
    break;
  case QSerialPort::WriteError:
    halt(SerialError::DeviceWrite);
    break;
  default:
    break;
  }
}

void QtSerialDevice::halt(int code) {
  if (m_halted)
    return;
  m_halted = true;
  m_detail = failureReason();
  // After a hang-up the library reports the failure again and again until the port is closed;
  // close it from the event loop, outside the library's own notification.
  m_port->disconnect(this);
  QMetaObject::invokeMethod(
      this,
      [this, port = QPointer<QSerialPort>(m_port)] {
        if (port && port->isOpen()) {
          m_lowLatency.release(int(port->handle()));
          port->close();
        }
      },
      Qt::QueuedConnection);
  emit failed(code);
}

void QtSerialDevice::forgetRefusal() {
  if (m_port)
    m_port->clearError();
  // The library takes the text of a later failure from errno, also when that failure set none (a
  // read at end of file after a hang-up): a refusal that is ignored here must not be read as its
  // reason.
  errno = 0;
}

QString QtSerialDevice::failureReason() const {
  // The line itself is asked first: after a hang-up the library's text is whatever errno an
  // earlier call left behind.
  if (m_port && lineHungUp(int(m_port->handle())))
    return QStringLiteral("%1: the line was hung up (device unplugged or far end closed)").arg(m_path);
  if (checkDeviceNode(m_path) == ENOENT)
    return QStringLiteral("%1: the device is gone").arg(m_path);
  const QString text = m_port ? m_port->errorString() : QString();
  return text.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(m_path, text);
}
