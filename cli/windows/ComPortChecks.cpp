#include "cli/windows/ComPortChecks.h"

#include "cli/LatencyTimer.h"
#include "cli/UsbIdentityText.h"

namespace {
using Severity = DoctorFinding::Severity;

const QString kDeviceManager = QStringLiteral("Device Manager, \"Ports (COM & LPT)\"");

DoctorFinding noPortFinding() {
  return {
      Severity::Error,
      {},
      QStringLiteral("the system has no COM port"),
      QStringLiteral("plug in the gateway's USB adapter; if it is plugged in, its driver is missing: "
                     "look in Device Manager under \"Ports (COM & LPT)\" (an adapter without its driver "
                     "shows under \"Other devices\" with a warning sign) and install the adapter's driver")};
}

DoctorFinding portFinding(const ComPortFacts &port) {
  using State = ComPortUse::State;
  const QString where = portWithUsbIdentity(port.name(), port.device(), port.usb);
  switch (port.use.state) {
  case State::Free:
    return {Severity::Ok, port.name(), QStringLiteral("%1: can be opened").arg(where), {}};
  case State::Held:
    return {Severity::Warning, port.name(),
            QStringLiteral("%1 is held by another program; nobody else can open it meanwhile").arg(where),
            QStringLiteral("close the program that uses %1 (a terminal program, another copy of Tamberlin, "
                           "a configuration tool) before writing")
                .arg(port.name())};
  case State::Failed:
    return {Severity::Error, port.name(),
            QStringLiteral("%1 cannot be opened: %2").arg(where, port.use.error),
            QStringLiteral("unplug the adapter and plug it in again; if that does not help, reinstall its "
                           "driver (%1)")
                .arg(kDeviceManager)};
  case State::Absent:
    break;
  }
  return {Severity::Warning, port.name(), QStringLiteral("%1 was listed but has gone").arg(where),
          QStringLiteral("plug the adapter in again and look for it in %1").arg(kDeviceManager)};
}

DoctorFinding latencyFinding(const ComPortFacts &port, quint32 ms) {
  const QString is = QStringLiteral("%1: %2").arg(port.name(), latencyTimerIs(ms));
  if (!latencyTimerCostsTime(ms))
    return {Severity::Ok, port.name(), is, {}};
  return {Severity::Warning, port.name(), QStringLiteral("%1: %2").arg(is, latencyTimerCost(ms)),
          QStringLiteral("set it to 1 ms: Device Manager > Ports (COM & LPT) > the adapter of %1 > "
                         "Properties > Port Settings > Advanced... > Latency Timer (msec): 1, then OK")
              .arg(port.name())};
}
} // namespace

QList<DoctorFinding> diagnoseComPorts(const QList<ComPortFacts> &ports) {
  if (ports.isEmpty())
    return {noPortFinding()};
  QList<DoctorFinding> out;
  for (const ComPortFacts &port : ports) {
    QList<DoctorFinding> found{portFinding(port)};
    if (port.latencyTimerMs)
      found << latencyFinding(port, *port.latencyTimerMs);
    // Each names the port's adapter, so that a program reading them knows which one.
    for (DoctorFinding &finding : found)
      finding.usb = port.usb;
    out << found;
  }
  return out;
}
