#pragma once

#include "gateway/GatewayReport.h"
#include "gateway/Task.h"

#include <QByteArray>
#include <QString>

#include <optional>

class GatewayLink;
class TIndexStream;

// Writes a script into a running gateway on its debug interface: the start byte 0x44, the 16-bit
// length, the raw bytes with a "." at every block point when the gateway paces, the 16-bit
// checksum, and the gateway's "O".
class DebugDownload {
public:
  using Outcome = GatewayReport::Outcome;

  explicit DebugDownload(GatewayLink &link);

  // The script's bytes, read before; path then only names them. Without them the file is read.
  std::optional<QByteArray> image;

  // True when the gateway answered "O". Reports exactly one outcome.
  Task<bool> programfileDebug(QString path);

private:
  QString load(TIndexStream &Memory, const QString &path);
  Task<bool> sendData(TIndexStream &Memory, const QString &path, bool handshake, quint16 &sum);
  // A block point: in handshake mode the gateway's "." within its time; false when it did not come.
  Task<bool> blockPoint(bool handshake, int &counter);
  // Waits until the received text holds an "O" (when untilO) or the gateway has been silent for
  // ms; every receive event moves the silence's start.
  Task<bool> waitWhileTalking(quint32 ms, bool untilO);
  Task<bool> answer();
  bool fail(GatewayReport::Failure failure, const QString &message, GatewayReport::Severity severity,
            bool atStateWindow = false);

  GatewayLink &m_link;
  GatewayReport &m_report;
};
