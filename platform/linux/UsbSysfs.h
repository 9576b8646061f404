#pragma once

#include "platform/UsbIdentity.h"

#include <QString>

#include <optional>

// The identity of the USB device above a tty device node (/dev/ttyUSB0), as sysfs below sysRoot
// (normally /sys) tells it: vendor and product, serial (empty when the device has none), product
// and manufacturer names. Nothing when the tty is not on USB or sysfs does not know it.
std::optional<UsbIdentity> usbIdentityOf(const QString &device, const QString &sysRoot);

// The adapter's place on the USB tree: the kernel's name of the USB device above the tty ("1-2.3"),
// which stays the same while it sits in the same socket. Empty when the tty is not on USB.
QString usbPlaceOf(const QString &device, const QString &sysRoot);

// The latency timer (ms) of the USB serial port behind a tty device node: how long its adapter may
// hold received bytes. Only some drivers have it (ftdi_sio: the attribute latency_timer of the
// port, /sys/class/tty/ttyUSB0/device/latency_timer); nothing for the others.
std::optional<quint32> latencyTimerOf(const QString &device, const QString &sysRoot);
