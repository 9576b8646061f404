// The system's record of USB devices: HKEY_LOCAL_MACHINE\SYSTEM\ControlSet001\Enum\USB, read only.
#include "platform/UsbDeviceTable.h"

#include "platform/Seam.h"

#include <windows.h>

#include <vector>

namespace {
const wchar_t kUsbKey[] = L"SYSTEM\\ControlSet001\\Enum\\USB";

QStringList subKeysOf(HKEY key) {
  QStringList names;
  std::vector<wchar_t> name(256);
  for (DWORD i = 0;; ++i) {
    DWORD length = DWORD(name.size());
    if (RegEnumKeyExW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names << QString::fromWCharArray(name.data(), int(length));
  }
  return names;
}

// A string value; empty when it is missing or of another type.
QString stringValue(HKEY key, const QString &subKey, const wchar_t *name) {
  const std::wstring path = subKey.toStdWString();
  DWORD type = 0;
  DWORD size = 0;
  if (RegGetValueW(key, path.c_str(), name, RRF_RT_REG_SZ, &type, nullptr, &size) != ERROR_SUCCESS ||
      size < 2)
    return {};
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(key, path.c_str(), name, RRF_RT_REG_SZ, &type, text.data(), &size) != ERROR_SUCCESS)
    return {};
  return QString::fromWCharArray(text.data());
}

class RegistryUsbDeviceTable : public UsbDeviceTable {
public:
  std::optional<QList<Device>> devices() const override {
    HKEY usb = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUsbKey, 0, KEY_READ, &usb) != ERROR_SUCCESS)
      return std::nullopt;
    QList<Device> devices;
    for (const QString &deviceName : subKeysOf(usb))
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
    for (const QString &instance : subKeysOf(key))
      device.instances << Instance{instance, stringValue(key, instance, L"FriendlyName")};
    RegCloseKey(key);
    return device;
  }
};
} // namespace

UsbDeviceTable &UsbDeviceTable::instance() {
  return Seam<UsbDeviceTable>::instance<RegistryUsbDeviceTable>();
}
