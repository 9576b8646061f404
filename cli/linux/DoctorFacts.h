#pragma once

#include "cli/linux/PortFacts.h"
#include "platform/linux/DeviceAccess.h"
#include "platform/linux/SerialLocks.h"

#include <QList>
#include <QMap>
#include <QString>

// Everything the doctor looks at, gathered in one pass so that its verdicts are plain functions.
struct DoctorFacts {
  QString portFolder;
  QList<PortFacts> ports;
  QMap<quint16, DeviceAccess> access;   // of each present port
  QList<SerialLocks::Lock> staleLocks;  // lock files whose owner process is gone
  QList<ProcessList::Process> grabbers; // ModemManager, brltty
  QString busProblem;                   // empty when the session bus is there
};

DoctorFacts gatherDoctorFacts(const PortMap &map);
