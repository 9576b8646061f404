#include "platform/linux/SessionBus.h"

#include <QDBusConnection>
#include <QDBusError>

QString sessionBusProblem() {
  const QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected())
    return {};
  const QString reason = bus.lastError().message();
  return reason.isEmpty() ? QStringLiteral("no session bus") : reason;
}
