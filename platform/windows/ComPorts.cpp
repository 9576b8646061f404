// The serial ports the system lists: HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, whose
// values name the ports ("COM3") of the devices present now.
#include "platform/ComPorts.h"

#include <QString>

#include <algorithm>
#include <vector>

#include <windows.h>

QList<quint16> systemComPorts() {
  QList<quint16> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return ports;
  std::vector<wchar_t> name(16384);
  std::vector<wchar_t> data(256);
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = DWORD(name.size());
    DWORD dataSize = DWORD(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE *>(data.data()), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS)
      break;
    if (status != ERROR_SUCCESS || type != REG_SZ)
      continue;
    const QString port =
        QString::fromWCharArray(data.data(), int(dataSize / sizeof(wchar_t))).section(QChar(0), 0, 0);
    bool ok = false;
    const uint n = port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? port.mid(3).toUInt(&ok) : 0;
    if (ok && n > 0 && n <= 0xffff && !ports.contains(quint16(n)))
      ports << quint16(n);
  }
  RegCloseKey(key);
  std::sort(ports.begin(), ports.end());
  return ports;
}

QString comPortMeaning() {
  return QStringLiteral("COM<n> is the system's own port; Device Manager shows its number under "
                        "\"Ports (COM & LPT)\".");
}
