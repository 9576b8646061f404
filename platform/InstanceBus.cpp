#include "platform/InstanceBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>

namespace {
const QString kPath = QStringLiteral("/com/quarnel/Tamberlin");
const QString kInterface = QStringLiteral("com.quarnel.Tamberlin.Instances");
const QString kSignal = QStringLiteral("BroadcastCOM");

InstanceBus::Factory &installedFactory() {
  static InstanceBus::Factory factory;
  return factory;
}
} // namespace

InstanceBus *InstanceBus::create(QObject *parent) {
  if (installedFactory())
    return installedFactory()(parent);
  return new DBusInstanceBus(QDBusConnection::sessionBus(), parent);
}

void InstanceBus::setFactory(Factory factory) {
  installedFactory() = std::move(factory);
}

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
  if (!d->connection.connect(QString(), kPath, kInterface, kSignal, this, SLOT(onSignal(uint, int))))
    m_reason =
        QStringLiteral("cannot listen on the D-Bus session bus: ") + d->connection.lastError().message();
}

DBusInstanceBus::~DBusInstanceBus() {
  if (d->connection.isConnected())
    d->connection.disconnect(QString(), kPath, kInterface, kSignal, this, SLOT(onSignal(uint, int)));
  delete d;
}

void DBusInstanceBus::announce(quint32 sender, qint32 port) {
  if (!d->connection.isConnected())
    return;
  QDBusMessage message = QDBusMessage::createSignal(kPath, kInterface, kSignal);
  message << uint(sender) << int(port);
  d->connection.send(message);
}

void DBusInstanceBus::onSignal(uint sender, int port) {
  emit announced(quint32(sender), qint32(port));
}
