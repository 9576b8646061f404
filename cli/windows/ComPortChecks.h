#pragma once

#include "cli/DoctorFinding.h"
#include "cli/windows/ComPortFacts.h"

#include <QList>

// The doctor's findings on Windows: one per port (can it be opened, or does another program hold
// it?) and one for its adapter's latency timer where the driver keeps one, or one that the system
// has no COM port at all.
QList<DoctorFinding> diagnoseComPorts(const QList<ComPortFacts> &ports);
