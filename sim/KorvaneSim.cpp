#include "sim/KorvaneSim.h"

const QByteArray KorvaneSim::DebugHello = QByteArray("\0dbg", 4);
// Neither may contain "O", ".", "CC", "OK" or "Restart" in any case: they must stay noise.
const QByteArray KorvaneSim::ExtraText = QByteArrayLiteral("\r\n[kv-gw] busy\r\n");
const QByteArray KorvaneSim::Garbage = QByteArray("\xfe\x81\x7f\x1b\x92", 5);

namespace {
int hexValue(quint8 c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}
} // namespace

KorvaneSim::KorvaneSim() = default;

KorvaneSim::KorvaneSim(Config config) : m_config(std::move(config)) {}

QByteArray KorvaneSim::text(const char *upper) const {
  const QByteArray t(upper);
  return m_config.faults.lowerCase ? t.toLower() : t;
}

QByteArray KorvaneSim::withExtras(const QByteArray &reply) const {
  QByteArray out = reply;
  if (m_config.faults.extraText)
    out += ExtraText;
  if (m_config.faults.garbage)
    out += Garbage;
  return out;
}

bool KorvaneSim::dotAt(qint64 count, qint64 first) const {
  const bool point = count == first || (count > first && (count - first) % 128 == 0);
  return point && m_handshake && !m_config.faults.skipDotAfter.contains(count);
}

void KorvaneSim::startDownload() {
  m_download = Download();
  ++m_downloadsStarted;
  m_handshake = !m_config.faults.noHandshake;
}

void KorvaneSim::finishDownload(quint16 received) {
  m_download.received = received;
  ++m_downloadsCompleted;
}

bool KorvaneSim::takeVanish() {
  return std::exchange(m_vanishPending, false);
}

void KorvaneSim::powerCycle() {
  m_state = State::Idle;
  m_nibble = -1;
  m_digits.clear();
  m_checksumBytes.clear();
  m_length = 0;
  m_lengthBytes = 0;
  m_restartUntil = 0;
}

QByteArray KorvaneSim::receive(const QByteArray &bytes, quint64 nowMs) {
  QByteArray out;
  for (char c : bytes)
    out += receive(quint8(c), nowMs);
  return out;
}

QByteArray KorvaneSim::receive(quint8 byte, quint64 nowMs) {
  ++m_received;
  if (m_config.faults.vanishAtByte == m_received)
    m_vanishPending = true;
  const QByteArray reply = m_config.mode == Mode::Config ? receiveConfig(byte, nowMs) : receiveDebug(byte);
  return m_config.faults.silent ? QByteArray() : reply;
}

QByteArray KorvaneSim::receiveConfig(quint8 byte, quint64 nowMs) {
  if (m_state == State::Restarting) {
    if (nowMs < m_restartUntil)
      return {};
    m_state = m_config.faults.silentAfterRestart ? State::Dead : State::Idle;
  }
  switch (m_state) {
  case State::Dead:
    return {};
  case State::Idle:
    if (byte == CtrlT)
      return text("OK");
    if (byte == CtrlP) {
      startDownload();
      m_state = State::HexData;
      m_nibble = -1;
      return m_handshake ? withExtras(".") : QByteArray();
    }
    return {};
  case State::HexData: {
    if (byte == '\n') {
      m_state = State::ChecksumLine;
      m_digits.clear();
      return {};
    }
    const int v = hexValue(byte);
    if (v < 0)
      return {};
    if (m_nibble < 0) {
      m_nibble = v;
      return {};
    }
    const quint8 value = quint8(m_nibble * 16 + v);
    m_nibble = -1;
    m_download.script.append(char(value));
    m_download.computed = quint16(m_download.computed + value);
    return dotAt(m_download.script.size(), m_config.faults.firstDotAfter) ? withExtras(".") : QByteArray();
  }
  case State::ChecksumLine: {
    if (byte != '\n') {
      if (hexValue(byte) >= 0 && m_digits.size() < 4)
        m_digits.append(char(byte));
      return {};
    }
    if (m_digits.isEmpty())
      return {};
    if (m_digits.size() != 4) {
      m_state = State::Idle;
      return withExtras("Checksum error\r\n");
    }
    finishDownload(quint16(m_digits.toUInt(nullptr, 16)));
    if (!m_download.matches()) {
      m_state = State::Idle;
      return withExtras("Checksum error\r\n");
    }
    m_state = State::Restarting;
    m_restartUntil = nowMs + quint64(qMax(0, m_config.restartMs));
    ++m_restarts;
    return m_config.faults.noRestart ? QByteArray() : withExtras(text("Restart"));
  }
  default:
    return {};
  }
}

QByteArray KorvaneSim::receiveDebug(quint8 byte) {
  switch (m_state) {
  case State::DebugLength:
    m_length = (m_length << 8) | byte;
    if (++m_lengthBytes < 2)
      return {};
    m_state = m_length == 0 ? State::DebugChecksum : State::DebugData;
    m_checksumBytes.clear();
    return m_handshake ? withExtras(".") : QByteArray();
  case State::DebugData: {
    m_download.script.append(char(byte));
    m_download.computed = quint16(m_download.computed + byte);
    const qint64 n = m_download.script.size();
    QByteArray reply = dotAt(n, 96) ? QByteArray(".") : QByteArray();
    if (n == qint64(m_length)) {
      if (m_handshake)
        reply += ".";
      m_state = State::DebugChecksum;
    }
    return reply.isEmpty() ? reply : withExtras(reply);
  }
  case State::DebugChecksum:
    m_checksumBytes.append(char(byte));
    if (m_checksumBytes.size() < 2)
      return {};
    m_state = State::Idle;
    finishDownload(quint16((quint8(m_checksumBytes[0]) << 8) | quint8(m_checksumBytes[1])));
    return withExtras(m_download.matches() ? text("O") : QByteArray("Checksum error\r\n"));
  default:
    break;
  }
  if (byte == CtrlT)
    return DebugHello;
  if (byte == DebugAck)
    return withExtras(m_config.mode == Mode::DebugConfig ? text("CC") : text("I00000000000000"));
  if (byte == DebugStart && m_config.mode == Mode::Debug) {
    startDownload();
    m_state = State::DebugLength;
    m_length = 0;
    m_lengthBytes = 0;
  }
  return {};
}

QString KorvaneSim::summary() const {
  const char *mode = m_config.mode == Mode::Config  ? "config"
                     : m_config.mode == Mode::Debug ? "debug"
                                                    : "debug-config";
  QString s = QStringLiteral("%1 mode: %2 bytes received, %3 download(s) started, %4 completed")
                  .arg(QLatin1String(mode))
                  .arg(m_received)
                  .arg(m_downloadsStarted)
                  .arg(m_downloadsCompleted);
  if (m_downloadsStarted > 0) {
    s += QStringLiteral("; last script %1 bytes, checksum computed %2")
             .arg(m_download.script.size())
             .arg(m_download.computed, 4, 16, QLatin1Char('0'));
    if (m_download.received)
      s += QStringLiteral(", received %1 (%2)")
               .arg(*m_download.received, 4, 16, QLatin1Char('0'))
               .arg(m_download.matches() ? QStringLiteral("match") : QStringLiteral("MISMATCH"));
    else
      s += QStringLiteral(", none received (incomplete)");
  }
  if (m_config.mode == Mode::Config)
    s += QStringLiteral("; %1 restart(s)").arg(m_restarts);
  return s;
}
