// Appending to a shared record on Windows: a handle that shares reading, writing and deleting, one
// LockFileEx for the whole append, FlushFileBuffers.
#include "platform/RecordFile.h"
#include "platform/windows/WindowsError.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace {
// Every writer locks this one byte far beyond any record's end. A lock on Windows keeps others from
// reading the bytes it covers, so a lock on the lines themselves would stop a reader.
constexpr DWORD kLockOffsetHigh = 0x40000000;

QString reasonOf(DWORD error, const QString &path) {
  const QString where = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
  const QString system = windowsErrorText(error);
  switch (error) {
  case ERROR_ACCESS_DENIED:
    if (QFileInfo(path).isDir())
      return QStringLiteral("%1 is a folder: name a file for the record").arg(where);
    return QStringLiteral("%1 cannot be written: %2 Give your user the right to write it and its folder "
                          "(the file's Properties, Security), or choose another place for the record")
        .arg(where, system);
  case ERROR_SHARING_VIOLATION:
  case ERROR_LOCK_VIOLATION:
    return QStringLiteral("%1 cannot be written: %2 Close the program that holds it open (a spreadsheet "
                          "keeps an open file to itself), or choose another place for the record")
        .arg(where, system);
  case ERROR_DISK_FULL:
  case ERROR_HANDLE_DISK_FULL:
    return QStringLiteral("%1 cannot be written: %2 Make room on the disk, or choose another place for "
                          "the record")
        .arg(where, system);
  case ERROR_WRITE_PROTECT:
    return QStringLiteral("%1 cannot be written: %2 Choose a place on a writable disk for the record")
        .arg(where, system);
  default:
    break;
  }
  return QStringLiteral("%1 cannot be written: %2").arg(where, system);
}

// An open record, unlocked and closed when it goes.
class Record {
public:
  explicit Record(const QString &path) : m_path(path) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    m_handle = CreateFileW(name.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
      m_error = GetLastError();
  }
  ~Record() {
    if (m_locked) {
      OVERLAPPED at = lockPlace();
      UnlockFileEx(m_handle, 0, 1, 0, &at);
    }
    if (m_handle != INVALID_HANDLE_VALUE)
      CloseHandle(m_handle);
  }
  Record(const Record &) = delete;
  Record &operator=(const Record &) = delete;

  QString failure() const { return m_error ? reasonOf(m_error, m_path) : QString(); }

  // Waits for the other writers; another process's lock ends with its append or with its end.
  bool lock() {
    if (m_error)
      return false;
    OVERLAPPED at = lockPlace();
    m_locked = LockFileEx(m_handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at);
    return m_locked || fail();
  }

  bool readEnd(qint64 &size, char &lastByte) {
    LARGE_INTEGER end{};
    if (!GetFileSizeEx(m_handle, &end))
      return fail();
    size = end.QuadPart;
    lastByte = '\n';
    if (size == 0)
      return true;
    OVERLAPPED at{};
    at.Offset = DWORD(quint64(size - 1) & 0xffffffffu);
    at.OffsetHigh = DWORD(quint64(size - 1) >> 32);
    DWORD read = 0;
    return (ReadFile(m_handle, &lastByte, 1, &read, &at) && read == 1) || fail();
  }

  // The whole text in one write at the end. A handle without FILE_WRITE_DATA appends whatever its
  // position says; the position is set as well, for a file system that does not keep to that.
  bool write(const QByteArray &text) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(m_handle, zero, nullptr, FILE_END))
      return fail();
    DWORD written = 0;
    if (!WriteFile(m_handle, text.constData(), DWORD(text.size()), &written, nullptr))
      return fail();
    if (written != DWORD(text.size())) {
      m_error = ERROR_HANDLE_DISK_FULL;
      return false;
    }
    return true;
  }

  bool flush() { return FlushFileBuffers(m_handle) || fail(); }

private:
  static OVERLAPPED lockPlace() {
    OVERLAPPED at{};
    at.OffsetHigh = kLockOffsetHigh;
    return at;
  }
  bool fail() {
    m_error = GetLastError();
    return false;
  }

  QString m_path;
  HANDLE m_handle = INVALID_HANDLE_VALUE;
  DWORD m_error = 0;
  bool m_locked = false;
};
} // namespace

QString RecordFile::append(const QString &path, const QByteArray &head, const QByteArray &line) {
  if (const QString problem = makeFolder(path); !problem.isEmpty())
    return problem;
  Record record(path);
  qint64 size = 0;
  char lastByte = '\n';
  if (!record.lock() || !record.readEnd(size, lastByte) ||
      !record.write(appendix(size, lastByte, head, line)) || !record.flush())
    return record.failure();
  return {};
}

QString RecordFile::checkAppendable(const QString &path) {
  if (const QString problem = makeFolder(path); !problem.isEmpty())
    return problem;
  Record record(path);
  record.lock();
  return record.failure();
}
