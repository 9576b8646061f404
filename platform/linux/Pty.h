#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal seen from its controlling (master) side: the far end of a serial line for the
// simulator, the tests and the benchmark. The terminal side is an ordinary device node that
// serial code opens by path.
class PtyMaster {
public:
  PtyMaster() = default;
  ~PtyMaster();
  PtyMaster(const PtyMaster &) = delete;
  PtyMaster &operator=(const PtyMaster &) = delete;

  // Opens a new pair in raw mode (no echo, no line editing, 8-bit clean); false with errorString().
  // keepTerminalOpen holds the terminal side open as well, so that the master never sees a
  // hang-up while the program that uses the terminal closes and reopens it.
  bool open(bool keepTerminalOpen = false);
  // Closing the master hangs up the terminal side: whoever has it open sees the line vanish.
  void close();
  bool isOpen() const { return m_fd >= 0; }

  int fd() const { return m_fd; }
  // Path of the terminal side, e.g. /dev/pts/3.
  QString terminalPath() const { return m_path; }
  QString errorString() const { return m_error; }

  // Non-blocking I/O. write returns the bytes taken (-1 on failure); read returns what is there.
  qint64 write(const QByteArray &bytes);
  QByteArray read(qint64 maxBytes = 4096);
  // Waits up to timeoutMs of real time for input; true when some is there.
  bool waitForReadable(int timeoutMs);

  // Whether a process holds the terminal side open (pollable hang-up state of the master).
  bool terminalOpen() const;

private:
  int m_fd = -1;
  int m_terminalFd = -1;
  QString m_path;
  QString m_error;
};

// Whether path names the terminal side of a pseudo-terminal (which carries no modem lines).
bool isPseudoTerminal(const QString &path);
