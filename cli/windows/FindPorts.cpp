// The ports that find probes on Windows: the COM ports the system lists.
#include "cli/FindPorts.h"

#include "platform/ComPorts.h"

FindPorts findPorts() {
  QStringList items;
  for (quint16 n : systemComPorts())
    items << QStringLiteral("COM%1").arg(n);
  return {items, QStringLiteral("the system has no COM port; plug in the gateway's USB adapter, or install "
                                "its driver (Device Manager, \"Ports (COM & LPT)\")")};
}
