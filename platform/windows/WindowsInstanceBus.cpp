// Announcements between running copies as the registered window message "Broadcast COM", posted
// to every top-level window and received by a hidden top-level window of each copy.
#include "platform/InstanceBus.h"

#include "platform/windows/HiddenWindow.h"

#include <memory>

namespace {
class WindowsInstanceBus : public InstanceBus {
public:
  explicit WindowsInstanceBus(QObject *parent)
      : InstanceBus(parent), m_message(RegisterWindowMessageW(L"Broadcast COM")),
        m_window(std::make_unique<HiddenWindow>(
            [this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
              return receive(message, wParam, lParam, result);
            })) {}

  void announce(const InstanceId &, qint32 port) override {
    if (unavailableReason().isEmpty())
      PostMessageW(HWND_BROADCAST, m_message, WPARAM(m_window->handle()), LPARAM(port));
  }

  QString unavailableReason() const override {
    if (m_message == 0)
      return QStringLiteral("the message \"Broadcast COM\" cannot be registered");
    if (!m_window->handle())
      return QStringLiteral("no window can be created to receive announcements");
    return {};
  }

  // A copy is its process and the window that announces for it, as the others see them.
  InstanceId identity(quint32) const override {
    return {GetCurrentProcessId(), handleOf(m_window->handle())};
  }

private:
  static quint32 handleOf(HWND window) { return quint32(reinterpret_cast<quintptr>(window)); }

  bool receive(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
    if (m_message == 0 || message != m_message)
      return false;
    DWORD process = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(wParam), &process);
    emit announced(process, quint32(wParam), qint32(lParam));
    result = 0;
    return true;
  }

  UINT m_message;
  std::unique_ptr<HiddenWindow> m_window;
};
} // namespace

InstanceBus *createSystemInstanceBus(QObject *parent) {
  return new WindowsInstanceBus(parent);
}
