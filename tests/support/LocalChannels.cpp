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

void LocalInstanceBus::announce(quint32 sender, qint32 port) {
  for (LocalInstanceBus *bus : buses()) {
    QPointer<LocalInstanceBus> to(bus);
    QMetaObject::invokeMethod(
        bus,
        [to, sender, port] {
          if (to)
            emit to->announced(sender, port);
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
