#pragma once

#include "serialport/SystemErrors.h"

#include <QString>

// Checks on a serial device node before it is opened. The serial library reports "busy", "lock
// held" and "permission denied" alike, so the distinctions that matter to the user are made here.

// 0 when the node exists, is a character device and may be read and written by this process;
// otherwise the errno that explains why not (ENOENT, ENOTTY for anything but a character
// device, EACCES, ...).
int checkDeviceNode(const QString &path);

// Recovers the errno behind a system error text (the serial library keeps only the text); 0 when
// the text is not one of the system's.
int errnoFromText(const QString &text);

// Whether the open line behind fd has been hung up (device unplugged, far end of a pseudo-terminal
// closed), asked of the line itself without waiting.
bool lineHungUp(int fd);
