#include "cli/linux/PortFacts.h"

#include "platform/linux/SerialLocks.h"

#include <algorithm>
#include <cstdio>

namespace {
// A device that no process visibly holds may still be locked by a process of another user.
QList<ProcessList::Process> lockOwners(const QString &name, const QList<SerialLocks::Lock> &locks) {
  const ProcessList &processes = ProcessList::instance();
  QList<ProcessList::Process> out;
  for (const SerialLocks::Lock &lock : locks) {
    if (lock.deviceName != name || !processes.alive(lock.pid))
      continue;
    const QList<ProcessList::Process> all = processes.all();
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const ProcessList::Process &p) { return p.pid == lock.pid; });
    out << (it != all.end() ? *it : ProcessList::Process{lock.pid, QString()});
  }
  return out;
}

PortFacts factsOf(const PortMap &map, quint16 n, const QList<SerialLocks::Lock> &locks) {
  const PortMap::Resolved where = map.resolve(n);
  PortFacts facts;
  facts.number = n;
  facts.state = where.state;
  facts.entry = where.entry;
  facts.target = where.target;
  facts.device = where.device;
  facts.automatic = map.isAutomatic(n);
  if (!facts.present())
    return facts;
  facts.lockName = SerialLocks::deviceNameOf(facts.device, map.roots().dev);
  facts.usb = usbIdentityOf(facts.device, map.roots().sys);
  facts.latencyTimerMs = latencyTimerOf(facts.device, map.roots().sys);
  facts.holders = ProcessList::instance().holding(facts.device);
  if (facts.holders.isEmpty())
    facts.holders = lockOwners(facts.lockName, locks);
  return facts;
}
} // namespace

QList<PortFacts> gatherPortFacts(const PortMap &map) {
  const QList<SerialLocks::Lock> locks = SerialLocks::all();
  QList<PortFacts> out;
  for (quint16 n : map.numbers())
    out << factsOf(map, n, locks);
  return out;
}

void refreshPortMap(PortMap &map) {
  const PortMap::RefreshResult result = map.refresh();
  if (!result.error.isEmpty())
    std::fprintf(stderr, "tamberlin-cli: new adapters get no COM number: %s\n", qPrintable(result.error));
}

QStringList presentPortItems(const PortMap &map) {
  QStringList items;
  for (quint16 n : map.numbers())
    if (map.exists(n))
      items << QStringLiteral("COM%1").arg(n);
  return items;
}
