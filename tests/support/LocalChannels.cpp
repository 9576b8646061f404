#include "tests/support/LocalChannels.h"

namespace {
QList<LocalInstanceBus *> &buses() {
  static QList<LocalInstanceBus *> all;
  return all;
}
} // namespace

LocalInstanceBus::LocalInstanceBus(QObject *parent) : InstanceBus(parent) {
  buses() << this;
}

LocalInstanceBus::~LocalInstanceBus() {
  buses().removeAll(this);
}

void LocalInstanceBus::announce(const InstanceId &sender, qint32 port) {
  for (LocalInstanceBus *bus : buses()) {
    QPointer<LocalInstanceBus> to(bus);
    QMetaObject::invokeMethod(
        bus,
        [to, sender, port] {
          if (to)
            emit to->announced(sender.process, sender.handle, port);
        },
        Qt::QueuedConnection);
  }
}

TestInstanceBus::TestInstanceBus() {
  InstanceBus::setFactory([](QObject *parent) { return new LocalInstanceBus(parent); });
}

TestInstanceBus::~TestInstanceBus() {
  InstanceBus::setFactory({});
}

TestUsbEvents::TestUsbEvents() {
  UsbMonitor::setFactory([this](QObject *parent) {
    auto *monitor = new UsbMonitor(parent);
    m_monitors << monitor;
    return monitor;
  });
}

TestUsbEvents::~TestUsbEvents() {
  UsbMonitor::setFactory({});
}

void TestUsbEvents::arrive(const QString &deviceName) {
  for (const QPointer<UsbMonitor> &monitor : m_monitors)
    if (monitor)
      monitor->reportArrival(deviceName);
}

void TestUsbEvents::remove(const QString &deviceName) {
  for (const QPointer<UsbMonitor> &monitor : m_monitors)
    if (monitor)
      monitor->reportRemoval(deviceName);
}
