#include "cli/LatencyTimer.h"

#include "gateway/GatewayProtocol.h"

namespace {
// The usual script, and the dots a download waits for in it.
constexpr int kScriptBytes = 16 * 1024;
constexpr int kDots = kScriptBytes / Gateway::Config::BlockPoint;
} // namespace

bool latencyTimerCostsTime(quint32 ms) {
  // 1 ms is the least an adapter offers; at 2 ms a 16 KiB script loses a quarter of a second at most.
  return ms > 2;
}

QString latencyTimerIs(quint32 ms) {
  return QStringLiteral("the adapter's latency timer is %1 ms").arg(ms);
}

QString latencyTimerCost(quint32 ms) {
  const double seconds = double(ms) * kDots / 1000.0;
  return QStringLiteral("it holds received bytes up to %1 ms before it hands them on, so each handshake "
                        "dot of a download can come that much late (about %2 s over a 16 KiB script)")
      .arg(ms)
      .arg(seconds, 0, 'f', seconds < 1 ? 1 : 0);
}
