#include "serialport/linux/DeviceNode.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

int checkDeviceNode(const QString &path) {
  const QByteArray native = QFile::encodeName(path);
  struct stat st {};
  if (::stat(native.constData(), &st) != 0)
    return errno;
  if (!S_ISCHR(st.st_mode))
    return ENOTTY;
  // With the effective ids and capabilities, as open() will use them.
  if (::faccessat(AT_FDCWD, native.constData(), R_OK | W_OK, AT_EACCESS) != 0)
    return errno;
  return 0;
}

QString systemErrorText(int error) {
  return QString::fromLocal8Bit(strerror(error));
}

int errnoFromText(const QString &text) {
  if (text.isEmpty())
    return 0;
  for (int e = 1; e < 134; ++e) {
    if (text == systemErrorText(e))
      return e;
  }
  return 0;
}

bool lineHungUp(int fd) {
  if (fd < 0)
    return false;
  pollfd line{fd, POLLIN, 0};
  return ::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR)) != 0;
}
