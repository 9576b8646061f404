#pragma once

#include <QByteArray>
#include <QtGlobal>

// What a USB serial adapter such as an FTDI chip does with the bytes it receives from the line
// before the computer sees them: it keeps them until its latency timer runs out, or until they
// fill a USB packet. The timer runs out every latencyMs whether or not bytes wait, so a byte waits
// between nothing and latencyMs, latencyMs / 2 on average.
class AdapterLatency {
public:
  static constexpr int kPacketBytes = 62; // a 64-byte packet less the chip's two status bytes

  explicit AdapterLatency(int latencyMs = 0) : m_latencyMs(latencyMs) {}
  bool enabled() const { return m_latencyMs > 0; }

  // Bytes that reach the adapter at nowMs; returns those that leave at once in full packets.
  QByteArray take(const QByteArray &bytes, quint64 nowMs);
  // When the held bytes leave; -1 when none are held.
  qint64 dueMs() const { return m_held.isEmpty() ? -1 : qint64(m_dueMs); }
  // The held bytes, once they are due at nowMs.
  QByteArray release(quint64 nowMs);
  void clear() { m_held.clear(); }

private:
  int m_latencyMs;
  QByteArray m_held;
  quint64 m_dueMs = 0;
};
