#include "platform/UsbMonitor.h"

#include "platform/linux/UsbUdev.h"

#include <QSocketNotifier>

namespace {

// USB devices (not their interfaces) from udev; UsbEventFilter decides what each event means.
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
    // On "remove" the device's attributes are gone: only what the event carries counts.
    const bool removed = qstrcmp(udev_device_get_action(device), "remove") == 0;
    const std::optional<UsbEventFilter::Report> report =
        m_filter.take(udevProperties(device, removed ? nullptr : device));
    udev_device_unref(device);
    if (report && report->arrival)
      reportArrival(report->path);
    else if (report)
      reportRemoval(report->path);
  }

  udev *m_udev = nullptr;
  udev_monitor *m_monitor = nullptr;
  QSocketNotifier *m_notifier = nullptr;
  QString m_reason;
  UsbEventFilter m_filter;
};

} // namespace

UsbMonitor *createSystemUsbMonitor(QObject *parent) {
  return new UdevUsbMonitor(parent);
}
