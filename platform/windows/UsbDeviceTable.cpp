// The system's record of USB devices: HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Enum\USB, read only.
#include "platform/UsbDeviceTable.h"

#include "platform/Seam.h"
#include "platform/windows/RegistryRead.h"

#include <string>

namespace {
const wchar_t kUsbKey[] = L"SYSTEM\\ControlSet001\\Enum\\USB";

class RegistryUsbDeviceTable : public UsbDeviceTable {
public:
  std::optional<QList<Device>> devices() const override {
    HKEY usb = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUsbKey, 0, KEY_READ, &usb) != ERROR_SUCCESS)
      return std::nullopt;
    QList<Device> devices;
    for (const QString &deviceName : registrySubKeys(usb))
      devices << device(usb, deviceName);
    RegCloseKey(usb);
    return devices;
  }

private:
  static Device device(HKEY usb, const QString &name) {
    Device device{name, {}};
    HKEY key = nullptr;
    const std::wstring path = name.toStdWString();
    if (RegOpenKeyExW(usb, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return device;
    for (const QString &instance : registrySubKeys(key))
      device.instances << Instance{instance, registryString(key, instance, L"FriendlyName")};
    RegCloseKey(key);
    return device;
  }
};
} // namespace

UsbDeviceTable &UsbDeviceTable::instance() {
  return Seam<UsbDeviceTable>::instance<RegistryUsbDeviceTable>();
}
