#include "platform/UsbMonitor.h"

namespace {
UsbMonitor::Factory &installedFactory() {
  static UsbMonitor::Factory factory;
  return factory;
}
} // namespace

UsbMonitor::UsbMonitor(QObject *parent) : QObject(parent) {}

QString UsbMonitor::interfacePath(const QString &vendor, const QString &product, const QString &serial) {
  return QStringLiteral("\\\\?\\USB#VID_%1&PID_%2#%3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}")
      .arg(vendor.toUpper(), product.toUpper(), serial);
}

UsbMonitor *UsbMonitor::create(QObject *parent) {
  if (installedFactory())
    return installedFactory()(parent);
  return createSystemUsbMonitor(parent);
}

void UsbMonitor::setFactory(Factory factory) {
  installedFactory() = std::move(factory);
}
