// Announcements between running copies as a D-Bus signal on the user's session bus.
#include "platform/linux/DBusInstanceBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

namespace {
const QString kPath = QStringLiteral("/com/quarnel/Tamberlin");
const QString kInterface = QStringLiteral("com.quarnel.Tamberlin.Instances");
const QString kSignal = QStringLiteral("BroadcastCOM");

} // namespace

struct DBusInstanceBus::Private {
  QDBusConnection connection;
};

DBusInstanceBus::DBusInstanceBus(const QDBusConnection &connection, QObject *parent)
    : InstanceBus(parent), d(new Private{connection}) {
  if (!d->connection.isConnected()) {
    const QString detail = d->connection.lastError().message();
    m_reason = QStringLiteral("no D-Bus session bus") +
               (detail.isEmpty() ? QString() : QStringLiteral(": ") + detail);
    return;
  }
  if (!d->connection.connect(QString(), kPath, kInterface, kSignal, this,
                             SLOT(onSignal(qulonglong, uint, int))))
    m_reason =
        QStringLiteral("cannot listen on the D-Bus session bus: ") + d->connection.lastError().message();
}

DBusInstanceBus::~DBusInstanceBus() {
  if (d->connection.isConnected())
    d->connection.disconnect(QString(), kPath, kInterface, kSignal, this,
                             SLOT(onSignal(qulonglong, uint, int)));
  delete d;
}

void DBusInstanceBus::announce(const InstanceId &sender, qint32 port) {
  if (!d->connection.isConnected())
    return;
  QDBusMessage message = QDBusMessage::createSignal(kPath, kInterface, kSignal);
  message << qulonglong(sender.process) << uint(sender.handle) << int(port);
  d->connection.send(message);
}

void DBusInstanceBus::onSignal(qulonglong senderProcess, uint senderHandle, int port) {
  emit announced(quint64(senderProcess), quint32(senderHandle), qint32(port));
}

InstanceBus *createSystemInstanceBus(QObject *parent) {
  return new DBusInstanceBus(QDBusConnection::sessionBus(), parent);
}
