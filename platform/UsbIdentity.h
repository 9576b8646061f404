#pragma once

#include <QString>

#include <optional>

// What a USB serial adapter says about itself in sysfs.
struct UsbIdentity {
  QString vendorId; // four hex digits, as the device reports them
  QString productId;
  QString serial;  // empty when the device has none
  QString product; // the product name, empty when the device has none
  QString manufacturer;
};

// The identity of the USB device above a tty device node (/dev/ttyUSB0), looked up below sysRoot
// (normally /sys); nothing when the tty is not on USB or sysfs does not know it.
std::optional<UsbIdentity> usbIdentityOf(const QString &device, const QString &sysRoot);
