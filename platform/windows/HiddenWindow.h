#pragma once

#include <functional>

#include <windows.h>

// A hidden window of the calling thread. A top-level one receives broadcasts to all top-level
// windows and device notifications; a message-only one only what is posted to it. Its messages run
// on that thread, from the event loop, and go to the handler first; what the handler leaves goes
// to the default handling.
class HiddenWindow {
public:
  // Returns true when it has handled the message, with its result in result.
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result)>;
  enum class Kind { TopLevel, MessageOnly };

  explicit HiddenWindow(Handler handler, Kind kind = Kind::TopLevel);
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
