#include "cli/linux/PortsReport.h"

#include "cli/TextTable.h"
#include "cli/UsbIdentityText.h"

#include <QJsonArray>
#include <QStringList>

#include <algorithm>

namespace {
QString stateText(const PortFacts &port) {
  return port.present() ? QStringLiteral("present") : QStringLiteral("absent");
}

QString byText(const PortFacts &port) {
  return port.automatic ? QStringLiteral("automatic") : QStringLiteral("user");
}

// Where the entry leads: the link's text, or the entry itself when it is no link.
QString targetText(const PortFacts &port) {
  return port.target.isEmpty() ? port.entry : port.target;
}

QJsonValue orNull(const QString &text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}
} // namespace

QString PortsReport::usbText(const PortFacts &port) {
  return port.usb ? usbIdentityText(*port.usb) : QString();
}

QString PortsReport::holdersText(const PortFacts &port) {
  QStringList parts;
  for (const ProcessList::Process &p : port.holders)
    parts << (p.name.isEmpty() ? QString::number(p.pid) : QStringLiteral("%1 %2").arg(p.pid).arg(p.name));
  return parts.join(QStringLiteral(", "));
}

QString PortsReport::table(const QList<PortFacts> &ports) {
  const QString none = QStringLiteral("-");
  QList<QStringList> rows{{QStringLiteral("PORT"), QStringLiteral("STATE"), QStringLiteral("ENTRY BY"),
                           QStringLiteral("TARGET"), QStringLiteral("USB"), QStringLiteral("HELD BY")}};
  for (const PortFacts &port : ports) {
    const QString usb = usbText(port);
    const QString holders = holdersText(port);
    rows << QStringList{port.name(),
                        stateText(port),
                        byText(port),
                        targetText(port),
                        usb.isEmpty() ? none : usb,
                        holders.isEmpty() ? none : holders};
  }
  return textTable(rows);
}

QJsonObject PortsReport::portEvent(const PortFacts &port) {
  QJsonArray holders;
  for (const ProcessList::Process &p : port.holders)
    holders << QJsonObject{{"pid", p.pid}, {"name", orNull(p.name)}};
  return QJsonObject{
      {"event", "port"},           {"port", port.name()},         {"number", port.number},
      {"entry", port.entry},       {"target", targetText(port)},  {"device", orNull(port.device)},
      {"present", port.present()}, {"automatic", port.automatic}, {"usb", usbIdentityJson(port.usb)},
      {"holders", holders}};
}

QJsonObject PortsReport::summaryEvent(const QList<PortFacts> &ports, const QString &folder) {
  const auto present =
      std::count_if(ports.begin(), ports.end(), [](const PortFacts &p) { return p.present(); });
  return QJsonObject{
      {"event", "summary"}, {"folder", folder}, {"entries", ports.size()}, {"present", qint64(present)}};
}
