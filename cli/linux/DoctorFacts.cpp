#include "cli/linux/DoctorFacts.h"

#include "platform/linux/SessionBus.h"

namespace {
// Services that open USB serial adapters as soon as they appear.
bool grabsAdapters(const QString &name) {
  return name == QLatin1String("ModemManager") || name == QLatin1String("brltty");
}
} // namespace

DoctorFacts gatherDoctorFacts(const PortMap &map) {
  DoctorFacts facts;
  facts.portFolder = map.folder();
  facts.ports = gatherPortFacts(map);
  for (const PortFacts &port : facts.ports)
    if (port.present())
      facts.access.insert(port.number, DeviceAccessCheck::instance().check(port.device));
  // Without entries the devices themselves show what a new user will meet first.
  if (facts.ports.isEmpty())
    for (const QString &node : map.serialDevices())
      facts.devices << UnmappedDevice{node, DeviceAccessCheck::instance().check(node)};
  const ProcessList &processes = ProcessList::instance();
  for (const SerialLocks::Lock &lock : SerialLocks::all())
    if (lock.pid > 0 && !processes.alive(lock.pid))
      facts.staleLocks << lock;
  for (const ProcessList::Process &p : processes.all())
    if (grabsAdapters(p.name))
      facts.grabbers << p;
  facts.busProblem = sessionBusProblem();
  return facts;
}
