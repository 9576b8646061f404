#pragma once

#include <QString>

#include <optional>

// The latency timer (ms) that the FTDI driver keeps for the adapter of a COM port ("COM3"): how
// long the adapter may hold received bytes. Nothing for a port of another driver.
std::optional<quint32> ftdiLatencyTimer(const QString &port);
