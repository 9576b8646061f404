#pragma once

#include <functional>
#include <optional>

// Asks a serial driver to hand over received bytes at once while the program has the port open:
// the flag ASYNC_LOW_LATENCY, which anyone who may open the port may set, and which makes ftdi_sio
// drop its latency timer (16 ms by default) to 1 ms. A driver without serial flags (a
// pseudo-terminal) changes nothing, and that is no failure.
class LowLatency {
public:
  // How the driver's flags are read and written: the system's ioctls unless tests give others.
  struct Flags {
    std::function<std::optional<int>(int fd)> read;
    std::function<bool(int fd, int flags)> write;
  };
  static Flags systemFlags();

  explicit LowLatency(Flags flags = systemFlags());

  // Sets the flag on the open port unless it is set already.
  void engage(int fd);
  // Clears the flag again, but only when engage() was the one that set it.
  void release(int fd);
  bool engaged() const { return m_engaged; }

private:
  Flags m_flags;
  bool m_engaged = false;
};
