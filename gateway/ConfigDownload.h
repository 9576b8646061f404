#pragma once

#include "gateway/DownloadLink.h"

// Writes a script into a gateway on its configuration interface: the gateway test (0x14, "OK"),
// programming mode (0x10, an optional "." selects the handshake), the bytes as upper-case
// hexadecimal text with a "." at every block point, the checksum line, and the restart.
class ConfigDownload {
public:
  explicit ConfigDownload(const DownloadLink &link) : m(link) {}

  // True when the script was sent, the gateway announced its restart and answered "OKOK"
  // afterwards. Posts exactly one WM_WRITE_READY to the main window.
  bool programfile(const QString &path);

private:
  // Handles events until the received text contains part or ms have passed; only the final test
  // decides.
  bool waitFor(const QByteArray &part, quint32 ms, bool ignoreCase);
  // Lets the port's output buffer drain; false when the port manager reports that it waits for the
  // port or the bytes do not leave the buffer.
  bool drainOutput();
  void post(quint32 code);
  void message(const QString &text, int icon);

  DownloadLink m;
};
