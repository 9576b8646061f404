#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Lock files of serial devices, "LCK..<device name>" in the system's lock folders, as serial
// libraries leave them while a port is open. The file names the owner's process id in its first
// line (as text, possibly padded with spaces).
namespace SerialLocks {

struct Lock {
  QString path;
  QString deviceName; // what follows "LCK..", e.g. ttyUSB0 or pts_3
  qint64 pid = 0;     // 0 when the file names no process
  bool removableByUs = false;
};

// The lock folders in the order they are searched; tests set their own.
QStringList folders();
void setFoldersOverride(const std::optional<QStringList> &folders);

// Every lock file of every folder.
QList<Lock> all();

// The lock file name of a device node below devRoot: /dev/ttyUSB0 -> ttyUSB0, /dev/pts/3 -> pts_3.
QString deviceNameOf(const QString &device, const QString &devRoot = QStringLiteral("/dev"));

} // namespace SerialLocks
