#pragma once

#include "gateway/GatewayReport.h"
#include "gateway/Task.h"

#include <QByteArray>
#include <QString>

#include <optional>

class GatewayLink;
class QFileInfo;
class TIndexStream;

// Writes a script into a gateway on its configuration interface: the gateway test (0x14, "OK"),
// programming mode (0x10, an optional "." selects the handshake), the bytes as upper-case
// hexadecimal text with a "." at every block point, the checksum line, and the restart.
class ConfigDownload {
public:
  using Outcome = GatewayReport::Outcome;

  // portSetting: the stored port choice ("offline" or empty: no port).
  ConfigDownload(GatewayLink &link, QString portSetting);

  // The port manager's flag, cleared when the download starts: a write failure must not reopen
  // the port in the middle of the data.
  bool *reopenOnWriteError = nullptr;
  // The script's bytes, read before; path then only names them. Without them the file is read.
  std::optional<QByteArray> image;

  // True when the script was sent, the gateway announced its restart and answered "OKOK"
  // afterwards. Reports exactly one outcome.
  Task<bool> programfile(QString path);

private:
  Task<bool> sendData(TIndexStream &Memory, const QString &path, bool handshake, quint16 &sum);
  // A block point in handshake mode; false when a mandatory dot did not come.
  Task<bool> blockPoint(int &counter, bool &tolerantDone);
  Task<bool> restart();
  // The size that decides before the gateway test: the image's, else the file's.
  std::optional<qint64> sizeBeforeTest(const QFileInfo &file) const;
  // Fills Memory from the bytes given or the file; false when it reported the failure.
  bool load(TIndexStream &Memory, const QString &path, const QFileInfo &file);
  bool refuseTooLarge(const QString &path, qint64 size, bool measuredBefore);
  bool fail(GatewayReport::Failure failure, quint32 code, const QString &message,
            GatewayReport::Severity severity, const QString &gatewayState = {});

  GatewayLink &m_link;
  GatewayReport &m_report;
  QString m_portSetting;
};
