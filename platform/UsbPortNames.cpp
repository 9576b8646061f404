#include "platform/UsbPortNames.h"

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

std::optional<AdapterPort> adapterOf(const QList<UsbDeviceTable::Device> &table, quint16 n) {
  for (const UsbDeviceTable::Device &device : table)
    for (const UsbDeviceTable::Instance &instance : device.instances)
      if (auto usb = identityOf(device, instance, n))
        return AdapterPort{n, *usb, usb->serial.isEmpty() ? instance.name : QString()};
  return std::nullopt;
}
} // namespace

std::optional<UsbIdentity> usbIdentityOfPort(const QList<UsbDeviceTable::Device> &table, quint16 n) {
  if (const std::optional<AdapterPort> port = adapterOf(table, n))
    return port->usb;
  return std::nullopt;
}

QList<AdapterPort> usbAdapterPorts(const QList<UsbDeviceTable::Device> &table,
                                   const QList<quint16> &present) {
  QList<AdapterPort> out;
  for (quint16 n : present)
    if (std::optional<AdapterPort> port = adapterOf(table, n))
      out << *port;
  return out;
}
