#pragma once

#include "gateway/DownloadLink.h"

// Writes a script into a running gateway on its debug interface: the start byte 0x44, the 16-bit
// length, the raw bytes with a "." at every block point when the gateway paces, the 16-bit
// checksum, and the gateway's "O".
class DebugDownload {
public:
  explicit DebugDownload(const DownloadLink &link) : m(link) {}

  void programfileDebug(const QString &path);

private:
  bool waitFor(char part, quint32 ms);
  // Handles events until the received text contains "O" or the gateway has been silent for ms.
  bool waitWhileTalking(quint32 ms, bool untilO);
  void post(quint32 code);

  DownloadLink m;
};

// The largest script whose length the 16-bit length field carries exactly.
constexpr qint64 kMaxDebugScriptSize = 65535;
