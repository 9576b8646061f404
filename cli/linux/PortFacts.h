#pragma once

#include "platform/linux/PortMap.h"
#include "platform/linux/ProcessList.h"
#include "platform/linux/UsbSysfs.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What is known about one entry of the port map.
struct PortFacts {
  quint16 number = 0;
  PortMap::State state = PortMap::State::NoEntry;
  QString entry;    // path of comN
  QString target;   // the link's text; empty when the entry is no link
  QString device;   // the node with every link resolved; empty unless present
  QString lockName; // the device's name in lock files (LCK..<lockName>); empty unless present
  bool automatic = false;
  std::optional<UsbIdentity> usb;
  std::optional<quint32> latencyTimerMs; // the adapter's, where its driver has one (ftdi_sio)
  // Processes with the device open; else the live owner of its lock file, when there is one.
  QList<ProcessList::Process> holders;

  bool present() const { return state == PortMap::State::Present; }
  // Whoever holds a pseudo-terminal's device is its far end (a simulator), not a rival program.
  bool pseudoTerminal() const { return lockName.startsWith(QLatin1String("pts_")); }
  QString name() const { return QStringLiteral("COM%1").arg(number); }
};

// Every entry of the map, ascending.
QList<PortFacts> gatherPortFacts(const PortMap &map);

// Adds the automatic entries of newly plugged adapters, as the window program does before it lists
// ports; a folder that cannot be written is said on standard error.
void refreshPortMap(PortMap &map);

// "COM" followed by the number of every present port of the map, ascending.
QStringList presentPortItems(const PortMap &map);
