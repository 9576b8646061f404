#pragma once

#include <QString>
#include <QtGlobal>

#include <stdexcept>

// Error codes of the serial port. Every failure is a negative number; system errors that have no
// code of their own arrive negated: an errno on Linux, a Windows error code on Windows. The two
// overlap (13 is EACCES on one, ERROR_INVALID_DATA on the other), so what a negated system error
// means is asked of portFailureOf, never read from the number.
namespace SerialError {
constexpr qint32 BadId = -2001;
constexpr qint32 NotOpen = -2007;
constexpr qint32 AlreadyOpen = -2008;
constexpr qint32 NoPortSelected = -2011;
constexpr qint32 OutputBufferTooSmall = -3006;
constexpr qint32 BufferIsEmpty = -3007;
constexpr qint32 DeviceWrite = -160;
constexpr qint32 DeviceRead = -161;
// Linux's: permission denied on the device node, and an entry that leads to no terminal.
constexpr qint32 PermissionDenied = -13; // -EACCES
constexpr qint32 NotATerminal = -25;     // -ENOTTY
} // namespace SerialError

// The cases that the port manager tells apart.
enum class PortFailure { InUse, Missing, ReadFailed, WriteFailed, NoPermission, Other };
// The case of a code on this system.
PortFailure portFailureOf(qint32 code);

// Common base of the serial port's exceptions; carries the negative code.
class ESerialPortException : public std::runtime_error {
public:
  ESerialPortException(qint32 code, const QString &message);
  qint32 code() const { return m_code; }
  QString message() const { return QString::fromUtf8(what()); }

private:
  qint32 m_code;
};

class EBadId : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
class EAlreadyOpen : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
class ECommNotOpen : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
class ENoPortSelected : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
class EOutputBufferTooSmall : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
class EBufferIsEmpty : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
};
// A device input/output error; ErrorCode is the positive number (160 write, 161 read).
class EInOutError : public ESerialPortException {
public:
  using ESerialPortException::ESerialPortException;
  qint32 ErrorCode() const { return -code(); }
};

// The component's own text for a code: the exception message for the codes of the component,
// the system's text for a negated errno.
QString serialErrorText(qint32 code);
// What the user can do about a code, or empty when there is nothing to suggest.
QString serialErrorHint(qint32 code);
// Throws the exception class that belongs to code, with the given message (the code's own text
// when empty).
[[noreturn]] void throwSerialError(qint32 code, const QString &message = {});
