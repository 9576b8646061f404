// The FTDI driver's settings of each adapter it has seen, read only:
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\FTDIBUS\<device>\<instance>\Device Parameters,
// with the adapter's port in PortName and the timer in LatencyTimer.
#include "platform/windows/FtdiLatencyTimer.h"

#include "platform/windows/RegistryRead.h"

namespace {
const QString kFtdiBus = QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS");
} // namespace

std::optional<quint32> ftdiLatencyTimer(const QString &port) {
  for (const QString &device : registrySubKeys(HKEY_LOCAL_MACHINE, kFtdiBus)) {
    const QString deviceKey = kFtdiBus + QLatin1Char('\\') + device;
    for (const QString &instance : registrySubKeys(HKEY_LOCAL_MACHINE, deviceKey)) {
      const QString parameters =
          deviceKey + QLatin1Char('\\') + instance + QStringLiteral("\\Device Parameters");
      if (registryString(HKEY_LOCAL_MACHINE, parameters, L"PortName").compare(port, Qt::CaseInsensitive) == 0)
        return registryDword(HKEY_LOCAL_MACHINE, parameters, L"LatencyTimer");
    }
  }
  return std::nullopt;
}
