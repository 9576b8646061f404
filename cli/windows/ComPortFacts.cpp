#include "cli/windows/ComPortFacts.h"

QList<ComPortFacts> comPortFacts(const QList<quint16> &ports, const QMap<quint16, ComPortUse> &uses,
                                 const QList<UsbDeviceTable::Device> &table) {
  QList<ComPortFacts> out;
  for (quint16 n : ports)
    out << ComPortFacts{n, uses.value(n), usbIdentityOfPort(table, n)};
  return out;
}
