#include "platform/AdapterPorts.h"

#include "platform/Seam.h"

#include <algorithm>

namespace {
const QString kPrefix = QStringLiteral("usb:");
const QString kPathPrefix = QStringLiteral("usb:path:");

class SystemAdapterPortsView : public AdapterPorts {
public:
  QList<AdapterPort> present(QString *note) override { return systemAdapterPorts(note); }
};
} // namespace

QString AdapterPort::binding() const {
  return usb.serial.isEmpty() ? kPathPrefix + place : kPrefix + usb.serial;
}

QString AdapterPort::text() const {
  const QString ids = QStringLiteral("%1:%2").arg(usb.vendorId.toUpper(), usb.productId.toUpper());
  return usb.serial.isEmpty() ? QStringLiteral("%1 at USB path %2").arg(ids, place)
                              : QStringLiteral("%1 serial %2").arg(ids, usb.serial);
}

bool AdapterPort::matches(const QString &binding) const {
  if (binding.startsWith(kPathPrefix))
    return !place.isEmpty() && binding.mid(kPathPrefix.size()) == place;
  return !usb.serial.isEmpty() && binding == kPrefix + usb.serial;
}

AdapterPorts &AdapterPorts::instance() {
  return Seam<AdapterPorts>::instance<SystemAdapterPortsView>();
}

void AdapterPorts::setInstance(AdapterPorts *ports) {
  Seam<AdapterPorts>::installed = ports;
}

QList<AdapterPort> adaptersWithBinding(const QList<AdapterPort> &ports, const QString &binding) {
  QList<AdapterPort> out;
  std::copy_if(ports.begin(), ports.end(), std::back_inserter(out),
               [&](const AdapterPort &p) { return p.matches(binding); });
  return out;
}

std::optional<AdapterPort> adapterOnPort(const QList<AdapterPort> &ports, quint16 com) {
  const auto it =
      std::find_if(ports.begin(), ports.end(), [com](const AdapterPort &p) { return p.com == com; });
  return it == ports.end() ? std::nullopt : std::optional<AdapterPort>(*it);
}

bool isAdapterBinding(const QString &text) {
  return text.startsWith(kPrefix) && text.size() > kPrefix.size() && text != kPathPrefix;
}
