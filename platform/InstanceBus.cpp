#include "platform/InstanceBus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QRandomGenerator>

namespace {
const QString kPath = QStringLiteral("/com/quarnel/Tamberlin");
const QString kInterface = QStringLiteral("com.quarnel.Tamberlin.Instances");
const QString kSignal = QStringLiteral("BroadcastCOM");

InstanceBus::Factory &installedFactory() {
  static InstanceBus::Factory factory;
  return factory;
}
} // namespace

quint64 InstanceId::thisProcess() {
  static const quint64 id = [] {
    quint64 n = 0;
    while (n == 0)
      n = QRandomGenerator::system()->generate64();
    return n;
  }();
  return id;
}

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
