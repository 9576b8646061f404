// Appending to a shared record on Linux: O_APPEND, one flock for the whole append, fdatasync.
#include "platform/RecordFile.h"
#include "platform/Workstation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString reasonOf(int error, const QString &path) {
  const QString where = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  const QString system = QString::fromLocal8Bit(std::strerror(error));
  switch (error) {
  case EACCES:
  case EPERM:
    return QStringLiteral("%1 cannot be written: %2. Give %3 the right to write it and its folder "
                          "(for example: sudo chown %3 %1), or choose another place for the record")
        .arg(where, system, Workstation::userName());
  case EROFS:
    return QStringLiteral("%1 cannot be written: %2. Choose a place on a writable disk for the record")
        .arg(where, system);
  case ENOSPC:
  case EDQUOT:
    return QStringLiteral("%1 cannot be written: %2. Make room on the disk, or choose another place for "
                          "the record")
        .arg(where, system);
  case EISDIR:
    return QStringLiteral("%1 is a folder: name a file for the record").arg(where);
  default:
    break;
  }
  return QStringLiteral("%1 cannot be written: %2").arg(where, system);
}

// An open record, closed (and with it unlocked) when it goes.
class Record {
public:
  explicit Record(const QString &path) : m_path(path) {
    const QByteArray name = QFile::encodeName(path);
    do
      m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
      m_error = errno;
  }
  ~Record() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  Record(const Record &) = delete;
  Record &operator=(const Record &) = delete;

  QString failure() const { return m_error ? reasonOf(m_error, m_path) : QString(); }

  // Waits for the other writers; another process's lock ends with its append or with its end.
  bool lock() {
    while (m_error == 0 && ::flock(m_fd, LOCK_EX) != 0)
      if (errno != EINTR)
        m_error = errno;
    return m_error == 0;
  }

  bool readEnd(qint64 &size, char &lastByte) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
      return fail();
    size = st.st_size;
    lastByte = '\n';
    if (size > 0 && ::pread(m_fd, &lastByte, 1, size - 1) != 1)
      return fail();
    return true;
  }

  // The whole text in one write; a rare short write goes on with the rest, a failed one takes back
  // what it wrote, so no half line stays behind.
  bool write(const QByteArray &text, qint64 sizeBefore) {
    qint64 done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(m_fd, text.constData() + done, size_t(text.size() - done));
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        const int error = n < 0 ? errno : ENOSPC;
        (void)!::ftruncate(m_fd, sizeBefore);
        m_error = error;
        return false;
      }
      done += n;
    }
    return true;
  }

  bool sync() { return ::fdatasync(m_fd) == 0 || fail(); }

private:
  bool fail() {
    m_error = errno;
    return false;
  }

  QString m_path;
  int m_fd = -1;
  int m_error = 0;
};

// A new file's name in its folder must reach the disk too, or a power cut may lose the whole file.
void syncFolder(const QString &path) {
  const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return;
  ::fsync(fd);
  ::close(fd);
}
} // namespace

QString RecordFile::append(const QString &path, const QByteArray &head, const QByteArray &line) {
  if (const QString problem = makeFolder(path); !problem.isEmpty())
    return problem;
  Record record(path);
  qint64 size = 0;
  char lastByte = '\n';
  if (!record.lock() || !record.readEnd(size, lastByte) ||
      !record.write(appendix(size, lastByte, head, line), size) || !record.sync())
    return record.failure();
  if (size == 0)
    syncFolder(path);
  return {};
}

QString RecordFile::checkAppendable(const QString &path) {
  if (const QString problem = makeFolder(path); !problem.isEmpty())
    return problem;
  Record record(path);
  record.lock();
  return record.failure();
}
