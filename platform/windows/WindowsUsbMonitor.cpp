// USB devices coming and going, as the system announces them to a hidden top-level window.
#include "platform/UsbMonitor.h"

#include "platform/windows/HiddenWindow.h"

#include <dbt.h>

#include <memory>

namespace {
// GUID_DEVINTERFACE_USB_DEVICE
const GUID kUsbDevice = {0xa5dcbf10, 0x6530, 0x11d2, {0x90, 0x1f, 0x00, 0xc0, 0x4f, 0xb9, 0x51, 0xed}};

class WindowsUsbMonitor : public UsbMonitor {
public:
  explicit WindowsUsbMonitor(QObject *parent)
      : UsbMonitor(parent), m_window(std::make_unique<HiddenWindow>(
                                [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
                                  return receive(message, wParam, lParam, result);
                                })) {
    if (!m_window->handle()) {
      m_reason = QStringLiteral("no window can be created for device notifications: USB devices are not "
                                "followed");
      return;
    }
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kUsbDevice;
    m_registration = RegisterDeviceNotificationW(m_window->handle(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!m_registration)
      m_reason = QStringLiteral("device notifications are refused: USB devices are not followed");
  }

  ~WindowsUsbMonitor() override {
    if (m_registration)
      UnregisterDeviceNotification(m_registration);
  }

  QString unavailableReason() const override { return m_reason; }

private:
  bool receive(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (message != WM_DEVICECHANGE)
      return false;
    result = TRUE;
    const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
      return true;
    const auto *device = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(header);
    const QString path = QString::fromWCharArray(device->dbcc_name);
    if (wParam == DBT_DEVICEARRIVAL)
      reportArrival(path);
    else if (wParam == DBT_DEVICEREMOVECOMPLETE)
      reportRemoval(path);
    return true;
  }

  std::unique_ptr<HiddenWindow> m_window;
  HDEVNOTIFY m_registration = nullptr;
  QString m_reason;
};
} // namespace

UsbMonitor *createSystemUsbMonitor(QObject *parent) {
  return new WindowsUsbMonitor(parent);
}
