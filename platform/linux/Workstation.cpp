#include "platform/Workstation.h"

#include <QSysInfo>
#include <QtGlobal>

#include <pwd.h>
#include <unistd.h>

#include <vector>

QString Workstation::computerName() {
  return QSysInfo::machineHostName();
}

// The account of the effective user id, so that sudo or a service account is named as what it is.
QString Workstation::userName() {
  const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? size_t(hint) : 16384);
  passwd entry{};
  passwd *found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return QString::fromLocal8Bit(found->pw_name);
  return qEnvironmentVariable("USER");
}
