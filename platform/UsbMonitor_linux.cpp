#include "platform/UsbMonitor.h"

#include <QHash>
#include <QSocketNotifier>

#include <libudev.h>

namespace {

// USB devices (not their interfaces) from udev. A device is announced at "bind": udev hands out
// that event only after the events of the device's children, so a serial adapter's tty and its
// /dev/serial/by-id link exist by then. Properties may be gone at "remove", so the path is
// remembered when the device is first seen.
class UdevUsbMonitor : public UsbMonitor {
public:
  explicit UdevUsbMonitor(QObject *parent) : UsbMonitor(parent) {
    m_udev = udev_new();
    if (m_udev)
      m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor) {
      m_reason = QStringLiteral("no udev monitor: USB devices are not followed");
      return;
    }
    udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "usb", "usb_device");
    if (udev_monitor_enable_receiving(m_monitor) < 0) {
      m_reason = QStringLiteral("the udev monitor cannot receive: USB devices are not followed");
      return;
    }
    m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { receive(); });
  }

  ~UdevUsbMonitor() override {
    delete m_notifier;
    if (m_monitor)
      udev_monitor_unref(m_monitor);
    if (m_udev)
      udev_unref(m_udev);
  }

  QString unavailableReason() const override { return m_reason; }

private:
  void receive() {
    udev_device *device = udev_monitor_receive_device(m_monitor);
    if (!device)
      return;
    const QByteArray action = udev_device_get_action(device);
    const QString syspath = QString::fromUtf8(udev_device_get_syspath(device));
    if (action == "add" || action == "bind") {
      const char *vendor = udev_device_get_sysattr_value(device, "idVendor");
      if (!vendor)
        vendor = udev_device_get_property_value(device, "ID_VENDOR_ID");
      const char *product = udev_device_get_sysattr_value(device, "idProduct");
      if (!product)
        product = udev_device_get_property_value(device, "ID_MODEL_ID");
      QString serial = QString::fromUtf8(udev_device_get_sysattr_value(device, "serial"));
      if (serial.isEmpty())
        serial = QString::fromUtf8(udev_device_get_sysname(device));
      if (vendor && product && !m_known.contains(syspath))
        m_known.insert(syspath, interfacePath(QString::fromUtf8(vendor), QString::fromUtf8(product), serial));
      if (action == "bind" && m_known.contains(syspath))
        reportArrival(m_known.value(syspath));
    } else if (action == "remove") {
      QString path = m_known.take(syspath);
      if (path.isEmpty())
        path = fromProperties(device); // plugged in before the monitor started
      if (!path.isEmpty())
        reportRemoval(path);
    }
    udev_device_unref(device);
  }

  static QString fromProperties(udev_device *device) {
    const char *vendor = udev_device_get_property_value(device, "ID_VENDOR_ID");
    const char *product = udev_device_get_property_value(device, "ID_MODEL_ID");
    if (!vendor || !product)
      return {};
    QString serial = QString::fromUtf8(udev_device_get_property_value(device, "ID_SERIAL_SHORT"));
    if (serial.isEmpty())
      serial = QString::fromUtf8(udev_device_get_sysname(device));
    return interfacePath(QString::fromUtf8(vendor), QString::fromUtf8(product), serial);
  }

  udev *m_udev = nullptr;
  udev_monitor *m_monitor = nullptr;
  QSocketNotifier *m_notifier = nullptr;
  QString m_reason;
  QHash<QString, QString> m_known; // syspath -> interface path
};

} // namespace

UsbMonitor *createSystemUsbMonitor(QObject *parent) {
  return new UdevUsbMonitor(parent);
}
