#include "platform/InstanceBus.h"

#include <QRandomGenerator>

namespace {
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
  return createSystemInstanceBus(parent);
}

void InstanceBus::setFactory(Factory factory) {
  installedFactory() = std::move(factory);
}
