#include "serialport/linux/LowLatency.h"

#include <cerrno>
#include <utility>

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace {
// The port library takes the text of a later failure from errno: a driver that has no serial
// flags must not leave its refusal behind as that text.
class KeepErrno {
public:
  ~KeepErrno() { errno = m_saved; }

private:
  int m_saved = errno;
};

std::optional<int> readFlags(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
    return std::nullopt;
  return serial.flags;
}

bool writeFlags(int fd, int flags) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0)
    return false;
  serial.flags = flags;
  return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}
} // namespace

LowLatency::Flags LowLatency::systemFlags() {
  return {readFlags, writeFlags};
}

LowLatency::LowLatency(Flags flags) : m_flags(std::move(flags)) {}

void LowLatency::engage(int fd) {
  const KeepErrno keep;
  m_engaged = false;
  const std::optional<int> flags = m_flags.read(fd);
  if (!flags || (*flags & ASYNC_LOW_LATENCY))
    return;
  m_engaged = m_flags.write(fd, *flags | ASYNC_LOW_LATENCY);
}

void LowLatency::release(int fd) {
  if (!m_engaged)
    return;
  m_engaged = false;
  const KeepErrno keep;
  if (const std::optional<int> flags = m_flags.read(fd))
    m_flags.write(fd, *flags & ~ASYNC_LOW_LATENCY);
}
