#pragma once

#include <QEvent>
#include <QObject>
#include <QtGlobal>

// Window messages between the program's windows: a number (WM_USER + offset) and two 32-bit
// parameters, delivered as a QEvent to the receiving object.
constexpr quint32 WM_USER = 1024;
constexpr quint32 WM_PROGRESS_HIDDEN = WM_USER + 100;      // 1124
constexpr quint32 WM_WAITING_FOR_COM = WM_USER + 200;      // 1224
constexpr quint32 WM_COM_WAIT_STATE = WM_USER + 201;       // 1225
constexpr quint32 WM_REOPEN_COM = WM_USER + 202;           // 1226
constexpr quint32 WM_COM_SETTINGS_CHANGED = WM_USER + 203; // 1227
constexpr quint32 WM_WRITE_READY = WM_USER + 500;          // 1524

// A window handle: a number that names a receiving object, 0 names none. Numbers carry the
// process id, so handles of different running copies differ.
using WindowHandle = quint32;

class WindowMessageEvent : public QEvent {
public:
  static QEvent::Type eventType();

  WindowMessageEvent(quint32 msg, quint32 wParam, qint32 lParam)
      : QEvent(eventType()), msg(msg), wParam(wParam), lParam(lParam) {}

  const quint32 msg;
  const quint32 wParam;
  const qint32 lParam;
  qint32 result = 0;
};

// The window message that an event carries, or nullptr.
inline WindowMessageEvent *asWindowMessage(QEvent *event) {
  return event->type() == WindowMessageEvent::eventType() ? static_cast<WindowMessageEvent *>(event)
                                                          : nullptr;
}

// The handle of an object; assigned on first use and forgotten when the object is destroyed.
WindowHandle handleOf(QObject *object);
// The object that a handle names in this process, or nullptr.
QObject *objectOf(WindowHandle handle);

// Queues the message; the receiver handles it later from its event loop. No receiver: dropped.
void postMessage(QObject *target, quint32 msg, quint32 wParam, qint32 lParam);
void postMessage(WindowHandle target, quint32 msg, quint32 wParam, qint32 lParam);

// Delivers the message synchronously and returns the receiver's result (0 without receiver).
qint32 sendMessage(QObject *target, quint32 msg, quint32 wParam, qint32 lParam);
qint32 sendMessage(WindowHandle target, quint32 msg, quint32 wParam, qint32 lParam);
