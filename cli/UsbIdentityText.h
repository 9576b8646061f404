#pragma once

#include "platform/UsbIdentity.h"

#include <QJsonValue>
#include <QString>

#include <optional>

// "0403:6001 serial A10K \"FT232R USB UART\"": the parts that are known.
QString usbIdentityText(const UsbIdentity &usb);

// "COM3 (/dev/ttyUSB0, USB 0403:6001 serial A10K \"FT232R USB UART\")", or without the USB part.
QString portWithUsbIdentity(const QString &port, const QString &device,
                            const std::optional<UsbIdentity> &usb);

// {"vendor":"0403","product":"6001","serial":...,"name":...,"manufacturer":...}, unknown parts
// null; null without a USB identity.
QJsonValue usbIdentityJson(const std::optional<UsbIdentity> &usb);
