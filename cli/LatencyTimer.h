#pragma once

#include <QString>
#include <QtGlobal>

// A USB serial adapter holds received bytes up to its latency timer before it hands them on, and a
// download waits for the gateway's dot after every block: each dot can come that much late.

// Whether the timer costs a download noticeable time.
bool latencyTimerCostsTime(quint32 ms);
// "the adapter's latency timer is 16 ms"
QString latencyTimerIs(quint32 ms);
// "it holds received bytes up to 16 ms before it hands them on, so each handshake dot of a download
// can come that much late (about 2 s over a 16 KiB script)"
QString latencyTimerCost(quint32 ms);
