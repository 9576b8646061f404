#pragma once

#include <functional>

#include <windows.h>

// A hidden top-level window of the calling thread (not a message-only window: broadcasts to all
// top-level windows and device notifications reach it). Its messages run on that thread, from the
// event loop, and go to the handler first; what the handler leaves goes to the default handling.
class HiddenWindow {
public:
  // Returns true when it has handled the message, with its result in result.
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)>;

  explicit HiddenWindow(Handler handler);
  ~HiddenWindow();
  HiddenWindow(const HiddenWindow &) = delete;
  HiddenWindow &operator=(const HiddenWindow &) = delete;

  // Null when the system refused the window.
  HWND handle() const { return m_hwnd; }

private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  Handler m_handler;
  HWND m_hwnd = nullptr;
};
