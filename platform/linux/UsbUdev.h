#pragma once

#include "platform/UsbIdentity.h"

#include <libudev.h>

// The properties of a udev device. Where udev's database has no record (no udevd, as in a
// container), the identity comes from the USB device's own attributes: usb is the device itself
// or the USB device above a tty.
UdevProperties udevProperties(udev_device *device, udev_device *usb);
