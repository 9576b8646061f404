#include "gateway/GatewayReport.h"

#include "gateway/GatewayProtocol.h"
#include "platform/Log.h"

void GatewayReport::logLine(const QString &text) {
  Log::line(text);
}

QString GatewayReport::writeReadyMessage(quint32 code) {
  switch (code) {
  case Gateway::WriteResult::Success:
    return QStringLiteral("Write Script success");
  case Gateway::WriteResult::BlockNotAcknowledged:
    return QStringLiteral("Error writing script");
  case Gateway::WriteResult::NoRestart:
    return QStringLiteral("Device did not restart as expecetd.");
  default:
    return {};
  }
}
