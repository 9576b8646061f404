#pragma once

#include "station/PortWriter.h"

#include <QList>

// Writes the script into the gateways on these ports at the same time, until every port has
// ended or SIGINT/SIGTERM interrupts them; reports the summary and returns the exit code.
int writeScript(const QList<quint16> &ports, const PortWriter::Settings &settings, WriteEvents &events);
