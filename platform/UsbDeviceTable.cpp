#include "platform/UsbDeviceTable.h"

#include "platform/Seam.h"

void UsbDeviceTable::setInstance(UsbDeviceTable *table) {
  Seam<UsbDeviceTable>::installed = table;
}
