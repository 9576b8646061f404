// Windows: the adapters are the USB record's instances named "(COMn)" whose port the system lists now.
#include "platform/AdapterPorts.h"

#include "platform/ComPorts.h"
#include "platform/UsbPortNames.h"

QList<AdapterPort> systemAdapterPorts(QString *note) {
  const std::optional<QList<UsbDeviceTable::Device>> table = UsbDeviceTable::instance().devices();
  if (!table) {
    if (note)
      *note = QStringLiteral("the system's record of USB devices cannot be read");
    return {};
  }
  return usbAdapterPorts(*table, systemComPorts());
}
