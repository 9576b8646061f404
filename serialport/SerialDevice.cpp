#include "serialport/SerialDevice.h"

#include "platform/Seam.h"

void SerialDeviceProvider::setInstance(SerialDeviceProvider *provider) {
  Seam<SerialDeviceProvider>::installed = provider;
}
