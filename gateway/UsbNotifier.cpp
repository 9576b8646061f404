#include "gateway/UsbNotifier.h"

#include "platform/UsbMonitor.h"

#include <QtDebug>

TUsbNotifier::TUsbNotifier(QObject *parent) : QObject(parent), FMonitor(UsbMonitor::create(this)) {
  if (!FMonitor->unavailableReason().isEmpty())
    qWarning().noquote() << "TUsbNotifier:" << FMonitor->unavailableReason();
  connect(FMonitor, &UsbMonitor::arrived, this,
          [this](const QString &name) { deliver(FOnUsbArrival, name); });
  connect(FMonitor, &UsbMonitor::removed, this,
          [this](const QString &name) { deliver(FOnUsbRemoval, name); });
}

QString TUsbNotifier::unavailableReason() const {
  return FMonitor->unavailableReason();
}

void TUsbNotifier::deliver(const TUsbNotifyProc &handler, const QString &deviceName) {
  if (!handler)
    return;
  // A failing handler must not take the event loop down with it; the notification is dropped.
  try {
    handler(this, deviceName);
  } catch (...) {
  }
}
