#include "platform/linux/Pty.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

PtyMaster::~PtyMaster() {
  close();
}

bool PtyMaster::open(bool keepTerminalOpen) {
  close();
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    m_error = QString::fromLocal8Bit(strerror(errno));
    return false;
  }
  char name[128] = {};
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    m_error = QString::fromLocal8Bit(strerror(errno));
    ::close(fd);
    return false;
  }
  // Raw mode on the master's line discipline: bytes pass unchanged in both directions.
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
  }
  m_fd = fd;
  m_path = QFile::decodeName(name);
  m_error.clear();
  if (keepTerminalOpen)
    m_terminalFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  return true;
}

void PtyMaster::close() {
  if (m_terminalFd >= 0)
    ::close(m_terminalFd);
  if (m_fd >= 0)
    ::close(m_fd);
  m_fd = -1;
  m_terminalFd = -1;
}

qint64 PtyMaster::write(const QByteArray &bytes) {
  if (m_fd < 0)
    return -1;
  qint64 done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      if (errno == EAGAIN)
        break;
      return done > 0 ? done : -1;
    }
    done += n;
  }
  return done;
}

QByteArray PtyMaster::read(qint64 maxBytes) {
  QByteArray out;
  if (m_fd < 0 || maxBytes <= 0)
    return out;
  out.resize(maxBytes);
  ssize_t n;
  do {
    n = ::read(m_fd, out.data(), size_t(maxBytes));
  } while (n < 0 && errno == EINTR);
  out.resize(n > 0 ? n : 0);
  return out;
}

bool PtyMaster::waitForReadable(int timeoutMs) {
  if (m_fd < 0)
    return false;
  pollfd p{m_fd, POLLIN, 0};
  return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
}

bool PtyMaster::terminalOpen() const {
  if (m_fd < 0)
    return false;
  pollfd p{m_fd, POLLIN, 0};
  ::poll(&p, 1, 0);
  return !(p.revents & POLLHUP);
}

bool isPseudoTerminal(const QString &path) {
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISCHR(st.st_mode))
    return false;
  // Unix98 pseudo-terminal slaves use majors 136 to 143.
  const unsigned maj = major(st.st_rdev);
  return maj >= 136 && maj <= 143;
}
