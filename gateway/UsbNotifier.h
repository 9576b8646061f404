#pragma once

#include <QObject>
#include <QString>

#include <functional>

class TUsbNotifier;
class UsbMonitor;

// handler(Sender, DeviceName): DeviceName the device-interface path, \\?\USB#VID_vvvv&PID_pppp#...
using TUsbNotifyProc = std::function<void(TUsbNotifier *Sender, const QString &DeviceName)>;

// Reports every USB device that arrives or leaves, not only gateways.
class TUsbNotifier : public QObject {
  Q_OBJECT
public:
  explicit TUsbNotifier(QObject *parent = nullptr);

  TUsbNotifyProc OnUsbArrival() const { return FOnUsbArrival; }
  void SetOnUsbArrival(TUsbNotifyProc handler) { FOnUsbArrival = std::move(handler); }
  TUsbNotifyProc OnUsbRemoval() const { return FOnUsbRemoval; }
  void SetOnUsbRemoval(TUsbNotifyProc handler) { FOnUsbRemoval = std::move(handler); }

  // Why no event will arrive; empty while the system reports USB devices.
  QString unavailableReason() const;

private:
  void deliver(const TUsbNotifyProc &handler, const QString &deviceName);

  UsbMonitor *FMonitor;
  TUsbNotifyProc FOnUsbArrival;
  TUsbNotifyProc FOnUsbRemoval;
};
