// Linux: the adapters are the port map's present entries whose device sysfs places on USB.
#include "platform/AdapterPorts.h"

#include "platform/linux/PortMap.h"
#include "platform/linux/UsbSysfs.h"

QList<AdapterPort> systemAdapterPorts(QString *note) {
  PortMap map;
  // A newly plugged adapter gets its number first, as the window program gives it.
  const PortMap::RefreshResult refreshed = map.refresh();
  if (note && !refreshed.error.isEmpty())
    *note = QStringLiteral("new adapters get no COM number: %1").arg(refreshed.error);
  QList<AdapterPort> out;
  for (quint16 n : map.numbers()) {
    const PortMap::Resolved where = map.resolve(n);
    if (where.state != PortMap::State::Present)
      continue;
    if (std::optional<UsbIdentity> usb = usbIdentityOf(where.device, map.roots().sys))
      out << AdapterPort{n, *usb, usbPlaceOf(where.device, map.roots().sys)};
  }
  return out;
}
