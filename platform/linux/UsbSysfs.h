#pragma once

#include "platform/UsbIdentity.h"

#include <QString>

#include <optional>

// The identity of the USB device above a tty device node (/dev/ttyUSB0), as sysfs below sysRoot
// (normally /sys) tells it: vendor and product, serial (empty when the device has none), product
// and manufacturer names. Nothing when the tty is not on USB or sysfs does not know it.
std::optional<UsbIdentity> usbIdentityOf(const QString &device, const QString &sysRoot);
