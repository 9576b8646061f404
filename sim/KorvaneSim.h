#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// A simulated KORVANE gateway as the program meets it on the serial line: bytes in, bytes out,
// time passed in by the caller. No I/O of its own; korvane-sim and the in-process test device
// carry its bytes.
//
// Configuration interface: 0x14 -> "OK"; 0x10 -> "." (handshake) and then the script as
// hexadecimal text, a "." at each block point (after byte 64, or 96, then every 128 bytes);
// LF, four hex digits, LF -> the checksum is verified, "Restart", silence for the restart time,
// then 0x14 -> "OK" again.
// Debug interface: 0x14 -> a block that begins with a zero byte; "O" -> "I00000000000000" (or
// "CC" when the gateway was started in configuration mode); 0x44, length (high byte first) ->
// "."; the raw bytes with a "." at each block point (after byte 96, then every 128) and one after
// the last byte; the checksum (high byte first) -> "O".
// A checksum that does not match gets "Checksum error" and no restart or "O".
class KorvaneSim {
public:
  enum class Mode { Config, Debug, DebugConfig };

  struct Faults {
    bool noHandshake = false;        // no "." after 0x10 or after the length, and none at block points
    QList<qint64> skipDotAfter;      // script byte counts whose block-point "." is left out
    int firstDotAfter = 64;          // configuration interface: first block point, 64 or 96
    bool noRestart = false;          // restarts without saying "Restart"
    bool silentAfterRestart = false; // never answers again after the restart
    bool lowerCase = false;          // "ok", "restart", "o", "cc", "i00000000000000"
    bool extraText = false;          // a text line after replies (never between two "OK")
    bool garbage = false;            // binary noise after replies (never between two "OK")
    bool silent = false;             // answers nothing at all
    qint64 vanishAtByte = -1;        // the port vanishes after this many received bytes (1-based)
    int vanishForMs = 0;             // and comes back after this long
    bool freshOnReturn = false;      // and comes back as a gateway that was off: a transfer is gone
  };

  struct Config {
    Mode mode = Mode::Config;
    Faults faults;
    int restartMs = 2000;
  };

  // One script transfer as the gateway saw it.
  struct Download {
    QByteArray script;
    quint16 computed = 0;
    std::optional<quint16> received; // the checksum that came, once it came
    bool complete() const { return received.has_value(); }
    bool matches() const { return received && *received == computed; }
  };

  static constexpr quint8 CtrlT = 0x14;
  static constexpr quint8 CtrlP = 0x10;
  static constexpr quint8 DebugStart = 0x44;
  static constexpr quint8 DebugAck = 0x4F;
  static const QByteArray DebugHello;
  static const QByteArray ExtraText;
  static const QByteArray Garbage;

  KorvaneSim();
  explicit KorvaneSim(Config config);

  // One received byte at time nowMs; returns the reply (often empty).
  QByteArray receive(quint8 byte, quint64 nowMs);
  QByteArray receive(const QByteArray &bytes, quint64 nowMs);
  // True once, right after the byte at which the port is to vanish.
  bool takeVanish();
  // Power off and on: waits for a test or a download again; a transfer in progress is lost.
  void powerCycle();

  const Config &config() const { return m_config; }
  qint64 bytesReceived() const { return m_received; }
  int restarts() const { return m_restarts; }
  // The transfer in progress or the last one; empty before the first.
  const Download &lastDownload() const { return m_download; }
  int downloadsStarted() const { return m_downloadsStarted; }
  int downloadsCompleted() const { return m_downloadsCompleted; }
  QString summary() const;

private:
  enum class State { Idle, HexData, ChecksumLine, Restarting, Dead, DebugLength, DebugData, DebugChecksum };

  QByteArray text(const char *upper) const;
  QByteArray withExtras(const QByteArray &reply) const;
  bool dotAt(qint64 count, qint64 first) const;
  void startDownload();
  void finishDownload(quint16 received);
  QByteArray receiveConfig(quint8 byte, quint64 nowMs);
  QByteArray receiveDebug(quint8 byte);

  Config m_config;
  State m_state = State::Idle;
  qint64 m_received = 0;
  bool m_vanishPending = false;
  int m_restarts = 0;
  quint64 m_restartUntil = 0;
  bool m_handshake = true;
  int m_nibble = -1;
  QByteArray m_digits;
  quint32 m_length = 0;
  int m_lengthBytes = 0;
  QByteArray m_checksumBytes;
  Download m_download;
  int m_downloadsStarted = 0;
  int m_downloadsCompleted = 0;
};
