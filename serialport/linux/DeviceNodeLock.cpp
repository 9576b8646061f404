#include "serialport/linux/DeviceNodeLock.h"

#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

// The folders in the order in which the serial library looks at them.
const char *const kLockFolders[] = {"/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
                                    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

struct Owner {
  pid_t pid = 0;
  bool named = false; // the serial library's form, with the program's name
};

// The process that a lock file names, when it belongs to this host.
std::optional<Owner> ownerOf(const QByteArray &content) {
  // A binary pid always holds a zero byte (pids stay below 2^22); its other bytes may be anything,
  // a line feed among them.
  const bool text = std::all_of(content.begin(), content.end(),
                                [](char c) { return std::isdigit(uchar(c)) || std::isspace(uchar(c)); });
  if (content.size() == 4 && !text) {
    qint32 binary = 0;
    std::memcpy(&binary, content.constData(), 4);
    return binary > 0 ? std::optional<Owner>(Owner{binary, false}) : std::nullopt;
  }
  const QList<QByteArray> lines = content.split('\n');
  bool ok = false;
  const qlonglong pid = lines.value(0).trimmed().toLongLong(&ok);
  if (!ok || pid <= 0)
    return std::nullopt;
  const QByteArray host = lines.value(2).trimmed();
  if (!host.isEmpty() && host != QSysInfo::machineHostName().toLocal8Bit())
    return std::nullopt;
  return Owner{pid_t(pid), !lines.value(1).trimmed().isEmpty()};
}

// Gone, or a zombie: a zombie's files are closed, it holds nothing.
bool hasEnded(pid_t pid) {
  if (::kill(pid, 0) != 0)
    return errno == ESRCH;
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly))
    return false;
  const QByteArray line = stat.readAll();
  const qsizetype close = line.lastIndexOf(')');
  return close >= 0 && line.mid(close + 2, 1) == "Z";
}

} // namespace

QString serialLockFile(const QString &devicePath) {
  QString name = devicePath.startsWith(QLatin1String("/dev/")) ? devicePath.mid(5) : devicePath;
  name.replace(QLatin1Char('/'), QLatin1Char('_'));
  for (const char *folder : kLockFolders) {
    const QFileInfo dir(QString::fromLatin1(folder));
    const QString file = dir.filePath() + QStringLiteral("/LCK..") + name;
    if (dir.isReadable() && (QFileInfo::exists(file) || dir.isWritable()))
      return file;
  }
  return {};
}

SerialLockCheck checkSerialLock(const QString &devicePath) {
  SerialLockCheck check;
  const QByteArray path = QFile::encodeName(serialLockFile(devicePath));
  const int fd = path.isEmpty() ? -1 : ::open(path.constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return check; // no lock
  // A live holder of the serial library keeps the file locked; so does anyone taking it over now.
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    const std::optional<Owner> owner = n > 0 ? ownerOf(QByteArray(buffer, n)) : std::nullopt;
    struct stat opened {
    }, named{};
    const bool same = ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
                      opened.st_ino == named.st_ino && opened.st_dev == named.st_dev;
    if (owner && same && hasEnded(owner->pid)) {
      if (::unlink(path.constData()) != 0)
        check.removeError = errno;
    } else if (owner && same && !owner->named) {
      check.holder = owner->pid;
    }
  }
  ::close(fd);
  return check;
}
