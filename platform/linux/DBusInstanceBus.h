#pragma once

#include "platform/InstanceBus.h"

class QDBusConnection;

// A D-Bus signal on the session bus.
class DBusInstanceBus : public InstanceBus {
  Q_OBJECT
public:
  DBusInstanceBus(const QDBusConnection &connection, QObject *parent = nullptr);
  ~DBusInstanceBus() override;

  void announce(const InstanceId &sender, qint32 port) override;
  QString unavailableReason() const override { return m_reason; }

private slots:
  void onSignal(qulonglong senderProcess, uint senderHandle, int port);

private:
  struct Private;
  Private *d;
  QString m_reason;
};
