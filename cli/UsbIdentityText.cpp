#include "cli/UsbIdentityText.h"

QString usbIdentityText(const UsbIdentity &usb) {
  QString text = usb.vendorId + QLatin1Char(':') + usb.productId;
  if (!usb.serial.isEmpty())
    text += QStringLiteral(" serial ") + usb.serial;
  if (!usb.product.isEmpty())
    text += QStringLiteral(" \"%1\"").arg(usb.product);
  return text;
}
