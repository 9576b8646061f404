#include "cli/linux/DoctorChecks.h"

#include "cli/LatencyTimer.h"
#include "cli/UsbIdentityText.h"
#include "cli/linux/PortsReport.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>

namespace {
using Severity = DoctorFinding::Severity;

QString groupFix(const DeviceAccess &access) {
  if (access.listedInGroup && !access.groupInSession)
    return QStringLiteral("%1 is in group %2 already, but this login started before: log out and in "
                          "again (or start a shell with 'newgrp %2')")
        .arg(access.user, access.group);
  if (access.group == QLatin1String("root"))
    return QStringLiteral("the device belongs to root alone: have a udev rule give it to group dialout "
                          "(SUBSYSTEM==\"tty\", GROUP=\"dialout\", MODE=\"0660\"), then run 'sudo usermod "
                          "-aG dialout $USER' and log in again");
  return QStringLiteral("sudo usermod -aG %1 $USER, then log out and in again").arg(access.group);
}

DoctorFinding accessFinding(const PortFacts &port, const DeviceAccess &access) {
  const QString where = portWithUsbIdentity(port.name(), port.device, port.usb);
  if (access.error == EACCES || access.error == EPERM)
    return {Severity::Error, port.name(),
            QStringLiteral("%1: %2 may not open it for reading and writing (group %3)")
                .arg(where, access.user, access.group),
            groupFix(access)};
  if (access.error != 0)
    return {Severity::Error, port.name(),
            QStringLiteral("%1: cannot be checked: %2").arg(where, qt_error_string(access.error)),
            QStringLiteral("make %1 lead to the gateway's serial device").arg(port.entry)};
  return {Severity::Ok, port.name(), QStringLiteral("%1: %2 may open it").arg(where, access.user), {}};
}

DoctorFinding danglingFinding(const PortFacts &port) {
  const QString what = QStringLiteral("%1 leads to %2, which does not exist").arg(port.name(), port.target);
  if (port.automatic)
    return {Severity::Warning, port.name(), what,
            QStringLiteral("the adapter is unplugged: plug it in (it keeps %1); to free the number "
                           "instead: rm %2")
                .arg(port.name(), port.entry)};
  return {Severity::Warning, port.name(), what,
          QStringLiteral("plug in the device, or remove the entry: rm %1").arg(port.entry)};
}

DoctorFinding holderFinding(const PortFacts &port) {
  const QString holders = PortsReport::holdersText(port);
  return {Severity::Warning, port.name(),
          QStringLiteral("%1 is held by %2; nobody else can open it meanwhile").arg(port.name(), holders),
          QStringLiteral("close that program (kill %1) before writing").arg(port.holders.first().pid)};
}

// Tamberlin itself asks the driver for low latency while it has the port open, which ftdi_sio
// turns into 1 ms: the timer costs only other programs time.
DoctorFinding latencyFinding(const PortFacts &port, quint32 ms) {
  const QString is = QStringLiteral("%1: %2").arg(port.name(), latencyTimerIs(ms));
  if (!latencyTimerCostsTime(ms))
    return {Severity::Ok, port.name(), is, {}};
  const QString attribute =
      QStringLiteral("/sys/bus/usb-serial/devices/%1/latency_timer").arg(QFileInfo(port.device).fileName());
  return {Severity::Note, port.name(),
          QStringLiteral("%1: %2. Tamberlin asks the driver for low latency (1 ms) while it has the port "
                         "open, so its own downloads lose no time; other programs do")
              .arg(is, latencyTimerCost(ms)),
          QStringLiteral("for other programs, set it to 1 ms: for now: echo 1 | sudo tee %1; for good, a "
                         "udev rule: echo 'ACTION==\"add\", SUBSYSTEM==\"usb-serial\", "
                         "DRIVER==\"ftdi_sio\", ATTR{latency_timer}=\"1\"' | sudo tee "
                         "/etc/udev/rules.d/99-ftdi-latency.rules")
              .arg(attribute)};
}

// "/dev/ttyS0, /dev/ttyS1, /dev/ttyS2, /dev/ttyS3 and 28 more": a virtual machine may have 32 UARTs.
QString nodeList(const QStringList &nodes) {
  constexpr int shown = 4;
  if (nodes.size() <= shown + 1)
    return nodes.join(QStringLiteral(", "));
  return QStringLiteral("%1 and %2 more")
      .arg(nodes.first(shown).join(QStringLiteral(", ")))
      .arg(nodes.size() - shown);
}

// The entry a user makes for a device: the folder may not exist yet.
QString linkCommand(const QString &folder, const QString &node, quint16 n) {
  return QStringLiteral("mkdir -p %1 && ln -s %2 %1/com%3").arg(folder, node).arg(n);
}

// The number a device would get by itself: onboard UART ttySk is COM k+1, adapters from COM3 up.
quint16 usualNumber(const QString &node) {
  static const QRegularExpression uart(QStringLiteral("/ttyS([0-9]+)$"));
  const QRegularExpressionMatch m = uart.match(node);
  return m.hasMatch() ? quint16(m.captured(1).toUInt() + 1) : quint16(3);
}

// Devices with the same verdict share one finding, so that 32 UARTs give one line, not 32.
void deviceAccessFindings(const QList<UnmappedDevice> &devices, QList<DoctorFinding> &out) {
  QList<QPair<DeviceAccess, QStringList>> verdicts;
  for (const UnmappedDevice &d : devices) {
    const auto same = std::find_if(verdicts.begin(), verdicts.end(), [&](const auto &v) {
      return v.first.error == d.access.error && v.first.group == d.access.group;
    });
    if (same != verdicts.end())
      same->second << d.node;
    else
      verdicts.append({d.access, {d.node}});
  }
  for (const auto &[access, nodes] : std::as_const(verdicts)) {
    if (access.error == EACCES || access.error == EPERM)
      out << DoctorFinding{Severity::Error,
                           {},
                           QStringLiteral("%1 may not open %2 for reading and writing (group %3)")
                               .arg(access.user, nodeList(nodes), access.group),
                           groupFix(access)};
    else if (access.error != 0)
      out << DoctorFinding{
          Severity::Warning,
          {},
          QStringLiteral("%1: cannot be checked: %2").arg(nodeList(nodes), qt_error_string(access.error)),
          QStringLiteral("look at the device: ls -l %1").arg(nodes.first())};
    else
      out << DoctorFinding{
          Severity::Ok, {}, QStringLiteral("%1 may open %2").arg(access.user, nodeList(nodes)), {}};
  }
}

void emptyMapFindings(const DoctorFacts &facts, QList<DoctorFinding> &out) {
  if (facts.devices.isEmpty()) {
    out << DoctorFinding{Severity::Warning,
                         {},
                         QStringLiteral("the port map %1 has no entries").arg(facts.portFolder),
                         QStringLiteral("plug in the gateway's USB adapter (it gets a number from COM3 up), "
                                        "or link a device: %1")
                             .arg(linkCommand(facts.portFolder, QStringLiteral("/dev/ttyUSB0"), 3))};
    return;
  }
  QStringList nodes;
  for (const UnmappedDevice &d : facts.devices)
    nodes << d.node;
  // An adapter is more likely the gateway's than an onboard port.
  const auto usb = std::find_if(nodes.begin(), nodes.end(),
                                [](const QString &node) { return !node.contains(QLatin1String("/ttyS")); });
  const QString example = usb != nodes.end() ? *usb : nodes.first();
  const quint16 n = usualNumber(example);
  out << DoctorFinding{Severity::Warning,
                       {},
                       QStringLiteral("the port map %1 has no entries: no COM number leads to the serial "
                                      "devices of this machine (%2)")
                           .arg(facts.portFolder, nodeList(nodes)),
                       QStringLiteral("give the gateway's device a number: %1, then use COM%2 "
                                      "(tamberlin /P%2, tamberlin-cli write --port COM%2)")
                           .arg(linkCommand(facts.portFolder, example, n))
                           .arg(n)};
  deviceAccessFindings(facts.devices, out);
}

void portFindings(const DoctorFacts &facts, QList<DoctorFinding> &out) {
  if (facts.ports.isEmpty())
    emptyMapFindings(facts, out);
  for (const PortFacts &port : facts.ports) {
    if (!port.present()) {
      out << danglingFinding(port);
      continue;
    }
    DoctorFinding access = accessFinding(port, facts.access.value(port.number));
    if (!port.holders.isEmpty() && port.pseudoTerminal() && !access.needsFixing())
      access.what += QStringLiteral("; its far end is %1").arg(PortsReport::holdersText(port));
    out << access;
    if (!port.holders.isEmpty() && !port.pseudoTerminal())
      out << holderFinding(port);
    if (port.latencyTimerMs)
      out << latencyFinding(port, *port.latencyTimerMs);
  }
}

QString portOfLock(const DoctorFacts &facts, const SerialLocks::Lock &lock) {
  for (const PortFacts &port : facts.ports)
    if (port.present() && port.lockName == lock.deviceName)
      return port.name();
  return {};
}

void lockFindings(const DoctorFacts &facts, QList<DoctorFinding> &out) {
  for (const SerialLocks::Lock &lock : facts.staleLocks)
    out << DoctorFinding{
        Severity::Error, portOfLock(facts, lock),
        QStringLiteral("lock file %1 names process %2, which has ended").arg(lock.path).arg(lock.pid),
        QStringLiteral("remove it: %1rm %2")
            .arg(lock.removableByUs ? QString() : QStringLiteral("sudo "), lock.path)};
}

DoctorFinding grabberFinding(const ProcessList::Process &p) {
  if (p.name == QLatin1String("brltty"))
    return {Severity::Warning,
            {},
            QStringLiteral("brltty (process %1) is running; it takes USB serial adapters for braille "
                           "displays and holds their ports")
                .arg(p.pid),
            QStringLiteral("sudo systemctl stop brltty.service brltty-udev.service && sudo systemctl mask "
                           "brltty-udev.service, or remove it: sudo apt remove brltty")};
  return {Severity::Warning,
          {},
          QStringLiteral("%1 (process %2) is running; it probes new USB serial adapters for modems and "
                         "holds their ports meanwhile")
              .arg(p.name)
              .arg(p.pid),
          QStringLiteral("sudo systemctl stop ModemManager && sudo systemctl disable ModemManager, or "
                         "remove it: sudo apt remove modemmanager")};
}

// Over ssh there is no session bus, and nothing is broken: only the copies' agreement is off.
DoctorFinding busFinding(const QString &problem) {
  return {Severity::Note,
          {},
          QStringLiteral("no D-Bus session bus (%1), as usual over ssh: writing works, only the "
                         "coordination between copies is off (copies that wait for the same port "
                         "cannot agree who keeps waiting)")
              .arg(problem),
          QStringLiteral("to have it, run inside a desktop session, or start a bus for the job: "
                         "dbus-run-session -- tamberlin-cli ... (dbus-run-session is in the package "
                         "dbus-daemon)")};
}

// Every finding about a port names its adapter, so that a program reading them knows which one.
void addUsbIdentities(const DoctorFacts &facts, QList<DoctorFinding> &out) {
  for (DoctorFinding &finding : out)
    for (const PortFacts &port : facts.ports)
      if (port.usb && port.name() == finding.port)
        finding.usb = port.usb;
}
} // namespace

QList<DoctorFinding> diagnose(const DoctorFacts &facts) {
  QList<DoctorFinding> out;
  portFindings(facts, out);
  lockFindings(facts, out);
  for (const ProcessList::Process &p : facts.grabbers)
    out << grabberFinding(p);
  if (!facts.busProblem.isEmpty())
    out << busFinding(facts.busProblem);
  addUsbIdentities(facts, out);
  return out;
}
