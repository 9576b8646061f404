#pragma once

#include "platform/InstanceBus.h"
#include "platform/UsbMonitor.h"

#include <QList>
#include <QPointer>

// An announcement bus inside the test process: what one port manager announces reaches every
// port manager of the process (the sender's too), queued as on the session bus.
class LocalInstanceBus : public InstanceBus {
  Q_OBJECT
public:
  explicit LocalInstanceBus(QObject *parent = nullptr);
  ~LocalInstanceBus() override;
  void announce(const InstanceId &sender, qint32 port) override;
  QString unavailableReason() const override { return {}; }
};

// Installs the local bus for every port manager created during its lifetime.
class TestInstanceBus {
public:
  TestInstanceBus();
  ~TestInstanceBus();
};

// USB events that the test reports, instead of the machine's. Installs itself for its lifetime.
class TestUsbEvents {
public:
  TestUsbEvents();
  ~TestUsbEvents();
  // Reported to every notifier that exists.
  void arrive(const QString &deviceName);
  void remove(const QString &deviceName);

private:
  QList<QPointer<UsbMonitor>> m_monitors;
};
