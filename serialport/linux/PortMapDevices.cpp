// Serial devices by COM number, through the port map.
#include "serialport/SerialDevice.h"

#include "platform/Seam.h"
#include "platform/linux/PortMap.h"
#include "serialport/linux/QtSerialDevice.h"

namespace {

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
  return Seam<SerialDeviceProvider>::instance<PortMapProvider>();
}
