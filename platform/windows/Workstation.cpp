#include "platform/Workstation.h"

#include <windows.h>

// The name shown in the system's settings as the device name, not a DNS name.
QString Workstation::computerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? QString::fromWCharArray(name, int(size)) : QString();
}

QString Workstation::userName() {
  wchar_t name[257];
  DWORD size = 257;
  // The size that comes back counts the terminating zero.
  return GetUserNameW(name, &size) && size > 0 ? QString::fromWCharArray(name, int(size - 1)) : QString();
}
