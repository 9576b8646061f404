#include "platform/UsbIdentity.h"

#include "platform/UsbMonitor.h"

#include <algorithm>

namespace {

QString text(const UdevProperties &p, const char *key) {
  return QString::fromUtf8(p.value(QByteArray(key)));
}

// udev's encoded strings (ID_MODEL_ENC) carry every byte it does not trust as \xNN.
QString unescape(const QByteArray &encoded) {
  QByteArray raw;
  raw.reserve(encoded.size());
  for (qsizetype i = 0; i < encoded.size(); ++i) {
    bool ok = false;
    const int byte = encoded.mid(i + 2, 2).toInt(&ok, 16);
    if (encoded.at(i) == '\\' && i + 3 < encoded.size() && encoded.at(i + 1) == 'x' && ok) {
      raw.append(char(byte));
      i += 3;
    } else {
      raw.append(encoded.at(i));
    }
  }
  return QString::fromUtf8(raw).trimmed();
}

// "0403", or from PRODUCT ("403/6001/600"), which the kernel puts into every event of the device.
QString idPart(const UdevProperties &p, const char *key, int productField) {
  QString id = text(p, key);
  if (id.isEmpty())
    id = text(p, "PRODUCT").section(QLatin1Char('/'), productField, productField);
  bool ok = false;
  const uint value = id.toUInt(&ok, 16);
  if (!ok || id.size() > 4)
    return {};
  return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

// The USB device's kernel name ("1-2") from its DEVPATH or that of a child: the part before the
// first interface ("1-2:1.0").
QString busPlace(const QString &devpath) {
  const QStringList parts = devpath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
  for (qsizetype k = 1; k < parts.size(); ++k)
    if (parts.at(k).startsWith(parts.at(k - 1) + QLatin1Char(':')))
      return parts.at(k - 1);
  return parts.isEmpty() ? QString() : parts.last();
}

QString productName(const UdevProperties &p) {
  const QByteArray encoded = p.value("ID_MODEL_ENC");
  // Without a product string udev puts the model number in its place.
  if (!encoded.isEmpty() && encoded != p.value("ID_MODEL_ID"))
    return unescape(encoded);
  const QString known = text(p, "ID_MODEL_FROM_DATABASE");
  return known.isEmpty() ? QStringLiteral("USB Serial Device") : known;
}

} // namespace

std::optional<UsbIdentity> UsbIdentity::fromProperties(const UdevProperties &p) {
  UsbIdentity id;
  id.vendorId = idPart(p, "ID_VENDOR_ID", 0);
  id.productId = idPart(p, "ID_MODEL_ID", 1);
  if (id.vendorId.isEmpty() || id.productId.isEmpty())
    return std::nullopt;
  id.serial = text(p, "ID_SERIAL_SHORT");
  if (id.serial.isEmpty())
    id.serial = busPlace(text(p, "DEVPATH"));
  id.product = productName(p);
  return id;
}

QString UsbIdentity::deviceKey() const {
  return QStringLiteral("VID_%1&PID_%2").arg(vendorId, productId);
}

QString UsbIdentity::interfacePath() const {
  return UsbMonitor::interfacePath(vendorId, productId, serial);
}

QString UsbIdentity::friendlyName(quint16 com) const {
  QString name = product;
  name.replace(QLatin1Char('('), QLatin1Char('[')).replace(QLatin1Char(')'), QLatin1Char(']'));
  return com ? QStringLiteral("%1 (COM%2)").arg(name).arg(com) : name;
}

void addToUsbDeviceTable(QList<UsbDeviceTable::Device> &table, const UdevProperties &tty, quint16 com) {
  const std::optional<UsbIdentity> id = UsbIdentity::fromProperties(tty);
  if (!id)
    return;
  const UsbDeviceTable::Instance instance{id->serial, id->friendlyName(com)};
  const QString key = id->deviceKey();
  auto it = std::find_if(table.begin(), table.end(),
                         [&](const UsbDeviceTable::Device &d) { return d.name == key; });
  if (it == table.end())
    table.append(UsbDeviceTable::Device{key, {instance}});
  else
    it->instances.append(instance);
}

std::optional<UsbEventFilter::Report> UsbEventFilter::take(const UdevProperties &event) {
  // Interfaces and ttys have events of their own; the device is reported once.
  if (event.value("SUBSYSTEM") != "usb" || event.value("DEVTYPE") != "usb_device")
    return std::nullopt;
  const QByteArray action = event.value("ACTION");
  const QByteArray devpath = event.value("DEVPATH");
  if (action == "add" || action == "bind") {
    if (!m_known.contains(devpath))
      if (const std::optional<UsbIdentity> id = UsbIdentity::fromProperties(event))
        m_known.insert(devpath, id->interfacePath());
    if (action == "bind" && m_known.contains(devpath))
      return Report{true, m_known.value(devpath)};
    return std::nullopt;
  }
  if (action != "remove")
    return std::nullopt;
  QString path = m_known.take(devpath);
  if (path.isEmpty()) // plugged in before the monitor started
    if (const std::optional<UsbIdentity> id = UsbIdentity::fromProperties(event))
      path = id->interfacePath();
  if (path.isEmpty())
    return std::nullopt;
  return Report{false, path};
}
