#include "serialport/SerialDevice.h"

#include "platform/PortMap.h"
#include "serialport/QtSerialDevice.h"

namespace {
SerialDeviceProvider *g_installed = nullptr;

class PortMapProvider : public SerialDeviceProvider {
public:
  bool exists(quint16 n) override {
    if (n == 0)
      return false;
    PortMap map;
    map.refresh();
    return map.exists(n);
  }
  std::unique_ptr<SerialDevice> create(quint16 n) override { return std::make_unique<QtSerialDevice>(n); }
};
} // namespace

SerialDeviceProvider &SerialDeviceProvider::instance() {
  if (g_installed)
    return *g_installed;
  static PortMapProvider production;
  return production;
}

void SerialDeviceProvider::setInstance(SerialDeviceProvider *provider) {
  g_installed = provider;
}
