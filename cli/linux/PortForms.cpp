// Ports on the Linux command line may also be device paths; the port map gives them their number.
#include "cli/PortSpec.h"

#include "platform/linux/PortMap.h"

#include <QFileInfo>

namespace {
std::optional<quint16> mapped(PortMap &map, const QString &device) {
  for (quint16 n : map.numbers())
    if (map.resolve(n).device == device)
      return n;
  return std::nullopt;
}

// The lowest number from 3 up that the map has no entry for becomes the device's.
std::optional<quint16> publish(PortMap &map, const QString &path, PortSpec::Resolved &out) {
  for (quint16 n = 3; n != 0; ++n) {
    if (map.resolve(n).state != PortMap::State::NoEntry)
      continue;
    QString error;
    if (!map.publish(n, path, &error)) {
      out.error = QStringLiteral("%1 cannot be given a COM number: %2").arg(path, error);
      return std::nullopt;
    }
    out.notes << QStringLiteral("%1 is COM%2 from now on").arg(path).arg(n);
    return n;
  }
  out.error = QStringLiteral("no free COM number for %1").arg(path);
  return std::nullopt;
}

// The device's COM number; one is given to it when the map has none yet.
std::optional<quint16> ofDevice(const QString &path, PortSpec::Resolved &out) {
  const QString device = QFileInfo(path).canonicalFilePath();
  if (device.isEmpty()) {
    out.error = QStringLiteral("%1: no such device").arg(path);
    return std::nullopt;
  }
  PortMap map;
  if (auto n = mapped(map, device))
    return n;
  map.refresh();
  if (auto n = mapped(map, device))
    return n;
  return publish(map, path, out);
}
} // namespace

std::optional<quint16> PortSpec::systemForm(const QString &spec, Resolved &out) {
  if (!spec.startsWith(QLatin1Char('/')))
    return std::nullopt;
  return ofDevice(spec, out);
}

QString PortSpec::formsText() {
  return QStringLiteral("COMn, n, usb:<serial>, usb:path:<USB path> or a device path");
}

QString PortSpec::absentText(const QString &port) {
  return QStringLiteral("Port %1 is absent: no device behind it in the port map (unplugged?). "
                        "'tamberlin-cli ports' lists the ports.")
      .arg(port);
}
