#pragma once

#include "cli/windows/ComPortFacts.h"

// Opens \\.\COMn exclusively and closes it at once: refused access means another program has it.
ComPortUse probeComPortUse(quint16 n);

// Every COM port the system lists, each probed, with the USB record's identity where it names one
// and the FTDI driver's latency timer where it keeps one.
QList<ComPortFacts> gatherComPortFacts();
