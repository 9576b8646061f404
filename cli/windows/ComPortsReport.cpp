#include "cli/windows/ComPortsReport.h"

#include "cli/TextTable.h"
#include "cli/UsbIdentityText.h"

#include <QJsonValue>
#include <QStringList>

#include <algorithm>

QString ComPortsReport::useText(const ComPortFacts &port) {
  using State = ComPortUse::State;
  switch (port.use.state) {
  case State::Free:
    return QStringLiteral("free");
  case State::Held:
    return QStringLiteral("held by another program");
  case State::Failed:
    return QStringLiteral("cannot be opened: %1").arg(port.use.error);
  case State::Absent:
    break;
  }
  return QStringLiteral("-");
}

QString ComPortsReport::table(const QList<ComPortFacts> &ports) {
  QList<QStringList> rows{
      {QStringLiteral("PORT"), QStringLiteral("STATE"), QStringLiteral("USB"), QStringLiteral("USE")}};
  for (const ComPortFacts &port : ports)
    rows << QStringList{port.name(), port.present() ? QStringLiteral("present") : QStringLiteral("absent"),
                        port.usb ? usbIdentityText(*port.usb) : QStringLiteral("-"), useText(port)};
  return textTable(rows);
}

QJsonObject ComPortsReport::portEvent(const ComPortFacts &port) {
  const bool failed = port.use.state == ComPortUse::State::Failed;
  return QJsonObject{{"event", "port"},
                     {"port", port.name()},
                     {"number", port.number},
                     {"device", port.device()},
                     {"present", port.present()},
                     {"held", port.held()},
                     {"error", failed ? QJsonValue(port.use.error) : QJsonValue()},
                     {"usb", usbIdentityJson(port.usb)}};
}

QJsonObject ComPortsReport::summaryEvent(const QList<ComPortFacts> &ports) {
  const auto present =
      std::count_if(ports.begin(), ports.end(), [](const ComPortFacts &p) { return p.present(); });
  const auto held = std::count_if(ports.begin(), ports.end(), [](const ComPortFacts &p) { return p.held(); });
  return QJsonObject{
      {"event", "summary"}, {"ports", ports.size()}, {"present", qint64(present)}, {"held", qint64(held)}};
}
