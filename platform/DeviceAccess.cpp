#include "platform/DeviceAccess.h"

#include "platform/Seam.h"

DeviceAccessCheck &DeviceAccessCheck::instance() {
  return Seam<DeviceAccessCheck>::instance<SystemDeviceAccessCheck>();
}

void DeviceAccessCheck::setInstance(DeviceAccessCheck *check) {
  Seam<DeviceAccessCheck>::installed = check;
}
