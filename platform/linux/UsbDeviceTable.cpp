#include "platform/UsbDeviceTable.h"

#include "platform/Seam.h"
#include "platform/UsbIdentity.h"
#include "platform/linux/PortMap.h"
#include "platform/linux/UsbUdev.h"

#include <QFileInfo>
#include <QHash>

#include <memory>

namespace {

// Built from udev: every USB device that has a tty below it, with the COM number that the port
// map gives that tty.
class UdevUsbDeviceTable : public UsbDeviceTable {
public:
  std::optional<QList<Device>> devices() const override;
};

struct UdevDeleter {
  void operator()(udev *u) const { udev_unref(u); }
  void operator()(udev_enumerate *e) const { udev_enumerate_unref(e); }
  void operator()(udev_device *d) const { udev_device_unref(d); }
};

// The COM number of every device node that the port map leads to.
QHash<QString, quint16> comNumbers() {
  PortMap map;
  map.refresh();
  QHash<QString, quint16> comOfNode;
  for (quint16 n : map.numbers()) {
    const PortMap::Resolved where = map.resolve(n);
    if (where.state == PortMap::State::Present && !comOfNode.contains(where.device))
      comOfNode.insert(where.device, n);
  }
  return comOfNode;
}

} // namespace

std::optional<QList<UsbDeviceTable::Device>> UdevUsbDeviceTable::devices() const {
  std::unique_ptr<udev, UdevDeleter> context(udev_new());
  if (!context)
    return std::nullopt;
  std::unique_ptr<udev_enumerate, UdevDeleter> walk(udev_enumerate_new(context.get()));
  if (!walk)
    return std::nullopt;
  udev_enumerate_add_match_subsystem(walk.get(), "tty");
  udev_enumerate_scan_devices(walk.get());

  // A serial device that has just appeared gets its COM number before anyone looks it up.
  const QHash<QString, quint16> comOfNode = comNumbers();
  QList<Device> table;
  for (udev_list_entry *e = udev_enumerate_get_list_entry(walk.get()); e; e = udev_list_entry_get_next(e)) {
    std::unique_ptr<udev_device, UdevDeleter> tty(
        udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(e)));
    if (!tty)
      continue;
    // Owned by tty, not to be unreferenced.
    udev_device *usb = udev_device_get_parent_with_subsystem_devtype(tty.get(), "usb", "usb_device");
    const char *node = udev_device_get_devnode(tty.get());
    if (!usb || !node)
      continue;
    const QString canonical = QFileInfo(QString::fromUtf8(node)).canonicalFilePath();
    addToUsbDeviceTable(table, udevProperties(tty.get(), usb), comOfNode.value(canonical, 0));
  }
  return table;
}

UsbDeviceTable &UsbDeviceTable::instance() {
  return Seam<UsbDeviceTable>::instance<UdevUsbDeviceTable>();
}
