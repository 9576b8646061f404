#include "serialport/SystemErrors.h"

#include "platform/windows/WindowsError.h"
#include "serialport/SerialPortErrors.h"

QString systemErrorText(int error) {
  return windowsErrorText(static_cast<unsigned long>(error));
}

PortFailure systemPortFailure(int) {
  // Access denied at the open is the port held by another program and has its own code; every
  // other refusal may pass (a driver that is still starting), so the wait goes on.
  return PortFailure::Other;
}

QString serialErrorHint(qint32 code) {
  switch (code) {
  case SerialError::BadId:
    return QStringLiteral("Check that the device is plugged in and that the port number is right (Device "
                          "Manager, Ports (COM & LPT)).");
  case SerialError::AlreadyOpen:
    return QStringLiteral("Another program uses the port; close it and try again.");
  default:
    return {};
  }
}
