#include "cli/windows/ComPortFacts.h"

#include <QRegularExpression>

namespace {
// Device keys are "VID_vvvv&PID_pppp", with "&MI_nn" for one interface of a composite device.
bool readIds(const QString &deviceKey, UsbIdentity &usb) {
  static const QRegularExpression ids(QStringLiteral("^VID_([0-9A-F]{4})&PID_([0-9A-F]{4})"),
                                      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = ids.match(deviceKey);
  if (!match.hasMatch())
    return false;
  usb.vendorId = match.captured(1).toUpper();
  usb.productId = match.captured(2).toUpper();
  return true;
}

// The instance key is the device's serial number, unless the device has none: then the system
// makes one up from its place on the bus, with "&" in it.
QString serialOf(const QString &instanceKey) {
  return instanceKey.contains(QLatin1Char('&')) ? QString() : instanceKey;
}

std::optional<UsbIdentity> identityOf(const UsbDeviceTable::Device &device,
                                      const UsbDeviceTable::Instance &instance, quint16 n) {
  static const QRegularExpression port(QStringLiteral("\\s*\\(COM(\\d+)\\)\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = port.match(instance.friendlyName);
  UsbIdentity usb;
  if (!match.hasMatch() || match.captured(1).toUInt() != n || !readIds(device.name, usb))
    return std::nullopt;
  usb.serial = serialOf(instance.name);
  usb.product = instance.friendlyName.left(match.capturedStart());
  return usb;
}
} // namespace

std::optional<UsbIdentity> usbIdentityOfPort(const QList<UsbDeviceTable::Device> &table, quint16 n) {
  for (const UsbDeviceTable::Device &device : table)
    for (const UsbDeviceTable::Instance &instance : device.instances)
      if (auto usb = identityOf(device, instance, n))
        return usb;
  return std::nullopt;
}

QList<ComPortFacts> comPortFacts(const QList<quint16> &ports, const QMap<quint16, ComPortUse> &uses,
                                 const QList<UsbDeviceTable::Device> &table) {
  QList<ComPortFacts> out;
  for (quint16 n : ports)
    out << ComPortFacts{n, uses.value(n), usbIdentityOfPort(table, n)};
  return out;
}
