#include "platform/linux/UsbUdev.h"

namespace {
void fillFromAttribute(UdevProperties &p, const char *key, udev_device *usb, const char *attribute) {
  if (p.contains(key))
    return;
  if (const char *value = udev_device_get_sysattr_value(usb, attribute))
    p.insert(key, value);
}
} // namespace

UdevProperties udevProperties(udev_device *device, udev_device *usb) {
  UdevProperties p;
  for (udev_list_entry *e = udev_device_get_properties_list_entry(device); e; e = udev_list_entry_get_next(e))
    p.insert(udev_list_entry_get_name(e), udev_list_entry_get_value(e));
  if (!usb)
    return p;
  fillFromAttribute(p, "ID_VENDOR_ID", usb, "idVendor");
  fillFromAttribute(p, "ID_MODEL_ID", usb, "idProduct");
  fillFromAttribute(p, "ID_SERIAL_SHORT", usb, "serial");
  if (!p.contains("ID_MODEL_ENC"))
    if (const char *product = udev_device_get_sysattr_value(usb, "product"))
      p.insert("ID_MODEL_ENC", QByteArray(product).replace("\\", "\\x5c"));
  return p;
}
