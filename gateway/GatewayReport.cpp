#include "gateway/GatewayReport.h"

#include "platform/Log.h"

void GatewayReport::logLine(const QString &text) {
  Log::line(text);
}
