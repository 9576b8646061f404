#include "cli/windows/ComPortProbe.h"

#include "platform/ComPorts.h"
#include "platform/windows/FtdiLatencyTimer.h"

#include <string>

#include <windows.h>

ComPortUse probeComPortUse(quint16 n) {
  const std::wstring path = QStringLiteral("\\\\.\\COM%1").arg(n).toStdWString();
  // Share mode 0: a COM port has one owner, so a port that another program has open refuses us.
  const HANDLE port =
      CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port != INVALID_HANDLE_VALUE) {
    CloseHandle(port);
    return {};
  }
  const DWORD error = GetLastError();
  switch (error) {
  case ERROR_ACCESS_DENIED:
    return {ComPortUse::State::Held, {}};
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
    return {ComPortUse::State::Absent, {}};
  default:
    return {ComPortUse::State::Failed, qt_error_string(int(error)).trimmed()};
  }
}

QList<ComPortFacts> gatherComPortFacts() {
  const QList<quint16> ports = systemComPorts();
  QMap<quint16, ComPortUse> uses;
  for (quint16 n : ports)
    uses.insert(n, probeComPortUse(n));
  QList<ComPortFacts> facts = comPortFacts(
      ports, uses, UsbDeviceTable::instance().devices().value_or(QList<UsbDeviceTable::Device>{}));
  for (ComPortFacts &port : facts)
    if (port.present())
      port.latencyTimerMs = ftdiLatencyTimer(port.name());
  return facts;
}
