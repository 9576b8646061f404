#pragma once

#include <QString>

// The lock file that the serial library takes before it opens a device: LCK..<name> in the first
// lock folder it may use (/var/lock, ..., /tmp, ..., /run/lock), the name being the device path
// without "/dev/" and with "/" as "_".
QString serialLockFile(const QString &devicePath);

#include <sys/types.h>

struct SerialLockCheck {
  pid_t holder = 0;    // a live program that holds the lock in a form the serial library ignores
  int removeError = 0; // why the lock of a program that has ended could not be removed
};

// Looks at the device's lock file before the serial library does. A lock whose owner has ended
// (killed, crashed) is removed: only a live owner keeps the port. The owner is the process id that
// the file names, as the serial library writes it ("pid\napp\nhost\n..."), as UUCP tools write it
// ("      1234\n"), or as a 4-byte binary number. The serial library takes a UUCP or binary lock
// of a live program for stale (it finds no program name in it); such a holder is reported here.
// A lock of another host, or one whose owner cannot be told, is left to the serial library.
SerialLockCheck checkSerialLock(const QString &devicePath);
