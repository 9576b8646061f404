#pragma once

#include "platform/UsbIdentity.h"

#include <QString>

// "0403:6001 serial A10K \"FT232R USB UART\"": the parts that are known.
QString usbIdentityText(const UsbIdentity &usb);
