#include "platform/linux/DeviceAccess.h"

#include "platform/Seam.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {
QString userName() {
  const passwd *pw = ::getpwuid(::geteuid());
  return pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
}

bool inSession(gid_t gid) {
  if (::getegid() == gid)
    return true;
  const int n = ::getgroups(0, nullptr);
  std::vector<gid_t> groups(size_t(qMax(n, 0)));
  const int got = ::getgroups(n, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[size_t(i)] == gid)
      return true;
  return false;
}

bool listed(const group *g, const QString &user) {
  for (char **member = g ? g->gr_mem : nullptr; member && *member; ++member)
    if (QString::fromLocal8Bit(*member) == user)
      return true;
  return false;
}
} // namespace

DeviceAccess SystemDeviceAccessCheck::check(const QString &node) const {
  DeviceAccess access;
  access.user = userName();
  const QByteArray native = QFile::encodeName(node);
  struct stat st {};
  if (::stat(native.constData(), &st) != 0) {
    access.error = errno;
    return access;
  }
  const group *g = ::getgrgid(st.st_gid);
  access.group = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
  access.groupInSession = inSession(st.st_gid);
  access.listedInGroup = listed(g, access.user);
  // With the effective ids, as open() will use them.
  if (::faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0)
    access.error = errno;
  return access;
}

DeviceAccessCheck &DeviceAccessCheck::instance() {
  return Seam<DeviceAccessCheck>::instance<SystemDeviceAccessCheck>();
}

void DeviceAccessCheck::setInstance(DeviceAccessCheck *check) {
  Seam<DeviceAccessCheck>::installed = check;
}
