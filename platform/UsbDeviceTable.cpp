#include "platform/UsbDeviceTable.h"

#include "platform/Seam.h"

UsbDeviceTable &UsbDeviceTable::instance() {
  return Seam<UsbDeviceTable>::instance<UdevUsbDeviceTable>();
}

void UsbDeviceTable::setInstance(UsbDeviceTable *table) {
  Seam<UsbDeviceTable>::installed = table;
}
