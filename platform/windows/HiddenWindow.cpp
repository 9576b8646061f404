#include "platform/windows/HiddenWindow.h"

namespace {
const wchar_t kClassName[] = L"TamberlinHiddenWindow";

void registerClassOnce() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}
} // namespace

HiddenWindow::HiddenWindow(Handler handler, Kind kind) : m_handler(std::move(handler)) {
  registerClassOnce();
  const HWND parent = kind == Kind::MessageOnly ? HWND_MESSAGE : nullptr;
  m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP, 0, 0, 0, 0, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  if (!m_hwnd)
    return;
  SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HiddenWindow::procedure));
}

HiddenWindow::~HiddenWindow() {
  if (m_hwnd) {
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    DestroyWindow(m_hwnd);
  }
}

LRESULT CALLBACK HiddenWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto *self = reinterpret_cast<HiddenWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  LRESULT result = 0;
  if (self && self->m_handler && self->m_handler(message, wParam, lParam, result))
    return result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
