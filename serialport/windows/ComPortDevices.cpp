// Serial devices by COM number, as Windows names them.
#include "serialport/SerialDevice.h"

#include "platform/ComPorts.h"
#include "platform/Seam.h"
#include "serialport/windows/Win32SerialDevice.h"

#include <vector>

#include <windows.h>

namespace {
// Whether the system has a default configuration for the port: it knows the device. A record too
// small for the driver's data is tried once more at the size the system asks for.
bool hasDefaultConfig(quint16 n) {
  const std::wstring name = QStringLiteral("COM%1").arg(n).toStdWString();
  std::vector<char> record(sizeof(COMMCONFIG));
  DWORD size = DWORD(record.size());
  reinterpret_cast<COMMCONFIG *>(record.data())->dwSize = sizeof(COMMCONFIG);
  if (GetDefaultCommConfigW(name.c_str(), reinterpret_cast<COMMCONFIG *>(record.data()), &size))
    return true;
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= record.size())
    return false;
  record.assign(size, 0);
  reinterpret_cast<COMMCONFIG *>(record.data())->dwSize = sizeof(COMMCONFIG);
  return GetDefaultCommConfigW(name.c_str(), reinterpret_cast<COMMCONFIG *>(record.data()), &size);
}

class ComPortProvider : public SerialDeviceProvider {
public:
  // A port the system lists counts as present too: some drivers keep no default configuration.
  bool exists(quint16 n) override { return n != 0 && (hasDefaultConfig(n) || systemComPorts().contains(n)); }
  std::unique_ptr<SerialDevice> create(quint16 n) override { return std::make_unique<Win32SerialDevice>(n); }
};
} // namespace

SerialDeviceProvider &SerialDeviceProvider::instance() {
  return Seam<SerialDeviceProvider>::instance<ComPortProvider>();
}
