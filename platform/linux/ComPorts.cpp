#include "platform/ComPorts.h"

#include "platform/linux/PortMap.h"

QList<quint16> systemComPorts() {
  PortMap map;
  map.refresh();
  QList<quint16> ports;
  for (quint16 n : map.numbers())
    if (map.exists(n))
      ports << n;
  return ports;
}

QString comPortMeaning() {
  return QStringLiteral("COM<n> is the device that ~/.config/Quarnel/ports/com<n> links to.");
}
