#include "serialport/SystemErrors.h"

#include "serialport/SerialPortErrors.h"
#include "serialport/linux/DeviceNode.h"

#include <cerrno>

PortFailure systemPortFailure(int error) {
  // Waiting would never end without the right to the device node.
  return error == EACCES ? PortFailure::NoPermission : PortFailure::Other;
}

QString serialErrorHint(qint32 code) {
  switch (code) {
  case SerialError::PermissionDenied:
    return QStringLiteral("You may not use this serial device. Add yourself to the dialout group with: "
                          "sudo usermod -aG dialout $USER, then log in again.");
  case SerialError::BadId:
    return QStringLiteral("Check that the device is plugged in and that the port number is right.");
  case SerialError::AlreadyOpen:
    return QStringLiteral("Another program uses the port; close it and try again.");
  case SerialError::NotATerminal:
    return QStringLiteral("The port's entry does not lead to a serial device; point it at one.");
  default:
    return {};
  }
}
