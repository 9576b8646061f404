#include "common/WindowMessages.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>

namespace {

struct HandleTable {
  QHash<WindowHandle, QPointer<QObject>> objects;
  QHash<QObject *, WindowHandle> handles;
  quint32 next = 1;
};

HandleTable &table() {
  static HandleTable t;
  return t;
}

} // namespace

QEvent::Type WindowMessageEvent::eventType() {
  static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
  return type;
}

WindowHandle handleOf(QObject *object) {
  if (!object)
    return 0;
  HandleTable &t = table();
  if (auto it = t.handles.constFind(object); it != t.handles.constEnd())
    return *it;
  // High 16 bits from the process id, low 16 bits a counter: distinct between running copies.
  const quint32 pidPart = quint32(QCoreApplication::applicationPid()) & 0x7fffu;
  const WindowHandle handle = ((pidPart + 1) << 16) | (t.next++ & 0xffffu);
  t.handles.insert(object, handle);
  t.objects.insert(handle, object);
  QObject::connect(object, &QObject::destroyed, [handle](QObject *gone) {
    table().handles.remove(gone);
    table().objects.remove(handle);
  });
  return handle;
}

QObject *objectOf(WindowHandle handle) {
  if (handle == 0)
    return nullptr;
  return table().objects.value(handle).data();
}

void postMessage(QObject *target, quint32 msg, quint32 wParam, qint32 lParam) {
  if (target)
    QCoreApplication::postEvent(target, new WindowMessageEvent(msg, wParam, lParam));
}

void postMessage(WindowHandle target, quint32 msg, quint32 wParam, qint32 lParam) {
  postMessage(objectOf(target), msg, wParam, lParam);
}

qint32 sendMessage(QObject *target, quint32 msg, quint32 wParam, qint32 lParam) {
  if (!target)
    return 0;
  WindowMessageEvent event(msg, wParam, lParam);
  QCoreApplication::sendEvent(target, &event);
  return event.result;
}

qint32 sendMessage(WindowHandle target, quint32 msg, quint32 wParam, qint32 lParam) {
  return sendMessage(objectOf(target), msg, wParam, lParam);
}
