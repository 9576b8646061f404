#include "cli/UsbIdentityText.h"

#include <QJsonObject>

namespace {
QJsonValue orNull(const QString &text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}
} // namespace

QString usbIdentityText(const UsbIdentity &usb) {
  QString text = usb.vendorId + QLatin1Char(':') + usb.productId;
  if (!usb.serial.isEmpty())
    text += QStringLiteral(" serial ") + usb.serial;
  if (!usb.product.isEmpty())
    text += QStringLiteral(" \"%1\"").arg(usb.product);
  return text;
}

QString portWithUsbIdentity(const QString &port, const QString &device,
                            const std::optional<UsbIdentity> &usb) {
  if (!usb)
    return QStringLiteral("%1 (%2)").arg(port, device);
  return QStringLiteral("%1 (%2, USB %3)").arg(port, device, usbIdentityText(*usb));
}

QJsonValue usbIdentityJson(const std::optional<UsbIdentity> &usb) {
  if (!usb)
    return QJsonValue();
  return QJsonObject{{"vendor", usb->vendorId},
                     {"product", usb->productId},
                     {"serial", orNull(usb->serial)},
                     {"name", orNull(usb->product)},
                     {"manufacturer", orNull(usb->manufacturer)}};
}
