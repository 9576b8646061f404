#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QDBusConnection;

// The announcement between running copies of the program: (sender, port) reaches every copy of
// the user's session, the sender's own included. Delivery is queued, never synchronous, so no
// copy blocks on another.
class InstanceBus : public QObject {
  Q_OBJECT
public:
  using Factory = std::function<InstanceBus *(QObject *parent)>;

  explicit InstanceBus(QObject *parent = nullptr) : QObject(parent) {}

  virtual void announce(quint32 sender, qint32 port) = 0;
  // Why announcements go nowhere; empty while the bus works.
  virtual QString unavailableReason() const = 0;

  // The session's bus unless a test has installed a factory.
  static InstanceBus *create(QObject *parent);
  // Installs the factory for every later create() (tests); an empty one restores the session's.
  static void setFactory(Factory factory);

signals:
  void announced(quint32 sender, qint32 port);
};

// A D-Bus signal on the session bus.
class DBusInstanceBus : public InstanceBus {
  Q_OBJECT
public:
  DBusInstanceBus(const QDBusConnection &connection, QObject *parent = nullptr);
  ~DBusInstanceBus() override;

  void announce(quint32 sender, qint32 port) override;
  QString unavailableReason() const override { return m_reason; }

private slots:
  void onSignal(uint sender, int port);

private:
  struct Private;
  Private *d;
  QString m_reason;
};
