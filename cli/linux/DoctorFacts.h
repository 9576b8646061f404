#pragma once

#include "cli/linux/PortFacts.h"
#include "platform/linux/DeviceAccess.h"
#include "platform/linux/SerialLocks.h"

#include <QList>
#include <QMap>
#include <QString>

// A serial device of the machine that no port map entry reaches, and whether this user may open it.
struct UnmappedDevice {
  QString node;
  DeviceAccess access;
};

// Everything the doctor looks at, gathered in one pass so that its verdicts are plain functions.
struct DoctorFacts {
  QString portFolder;
  QList<PortFacts> ports;
  QMap<quint16, DeviceAccess> access;   // of each present port
  QList<UnmappedDevice> devices;        // the machine's serial devices while the map has no entries
  QList<SerialLocks::Lock> staleLocks;  // lock files whose owner process is gone
  QList<ProcessList::Process> grabbers; // ModemManager, brltty
  QString busProblem;                   // empty when the session bus is there
};

DoctorFacts gatherDoctorFacts(const PortMap &map);
