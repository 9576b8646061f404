#include "serialport/SerialPortErrors.h"

#include "serialport/SystemErrors.h"

ESerialPortException::ESerialPortException(qint32 code, const QString &message)
    : std::runtime_error(message.toStdString()), m_code(code) {}

QString serialErrorText(qint32 code) {
  switch (code) {
  case SerialError::BadId:
    return QStringLiteral("BadId - Specified comport doesn't exist");
  case SerialError::AlreadyOpen:
    return QStringLiteral("InUse - device already open");
  case SerialError::NotOpen:
    return QStringLiteral("NotOpen - device not open");
  case SerialError::NoPortSelected:
    return QStringLiteral("The ComNumber property of the TSerialPort has not been set");
  case SerialError::OutputBufferTooSmall:
    return QStringLiteral("Output buffer too small for block");
  case SerialError::BufferIsEmpty:
    return QStringLiteral("Buffer is empty");
  case SerialError::DeviceWrite:
    return QStringLiteral("Device write error");
  case SerialError::DeviceRead:
    return QStringLiteral("Device read error");
  default:
    break;
  }
  if (code < 0 && code > -4096)
    return systemErrorText(-code);
  return QStringLiteral("Serial port error %1").arg(code);
}

PortFailure portFailureOf(qint32 code) {
  switch (code) {
  case SerialError::AlreadyOpen:
    return PortFailure::InUse;
  case SerialError::BadId:
    return PortFailure::Missing;
  case SerialError::DeviceRead:
    return PortFailure::ReadFailed;
  case SerialError::DeviceWrite:
    return PortFailure::WriteFailed;
  default:
    break;
  }
  if (code < 0 && code > -65536)
    return systemPortFailure(-code);
  return PortFailure::Other;
}

void throwSerialError(qint32 code, const QString &message) {
  const QString text = message.isEmpty() ? serialErrorText(code) : message;
  switch (code) {
  case SerialError::BadId:
    throw EBadId(code, text);
  case SerialError::AlreadyOpen:
    throw EAlreadyOpen(code, text);
  case SerialError::NotOpen:
    throw ECommNotOpen(code, text);
  case SerialError::NoPortSelected:
    throw ENoPortSelected(code, text);
  case SerialError::OutputBufferTooSmall:
    throw EOutputBufferTooSmall(code, text);
  case SerialError::BufferIsEmpty:
    throw EBufferIsEmpty(code, text);
  case SerialError::DeviceWrite:
  case SerialError::DeviceRead:
    throw EInOutError(code, text);
  default:
    throw ESerialPortException(code, text);
  }
}
