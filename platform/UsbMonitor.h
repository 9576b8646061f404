#pragma once

#include <QObject>
#include <QString>

#include <functional>

// USB devices coming and going, reported with the device-interface path that Windows uses:
// \\?\USB#VID_vvvv&PID_pppp#<serial>#{a5dcbf10-6530-11d2-901f-00c04fb951ed}.
//
// This base class reports only what it is told (reportArrival, reportRemoval): that is what tests
// use. create() gives the system's monitor unless a test has installed a factory.
class UsbMonitor : public QObject {
  Q_OBJECT
public:
  using Factory = std::function<UsbMonitor *(QObject *parent)>;

  explicit UsbMonitor(QObject *parent = nullptr);

  // Why no events will arrive; empty when the monitor works.
  virtual QString unavailableReason() const { return {}; }

  void reportArrival(const QString &path) { emit arrived(path); }
  void reportRemoval(const QString &path) { emit removed(path); }

  // "USB#VID_vvvv&PID_pppp#serial" in the device-interface form.
  static QString interfacePath(const QString &vendor, const QString &product, const QString &serial);

  static UsbMonitor *create(QObject *parent);
  // Installs the factory for every later create() (tests); an empty one restores the system's.
  static void setFactory(Factory factory);

signals:
  void arrived(const QString &path);
  void removed(const QString &path);
};

// The system's monitor (libudev on Linux).
UsbMonitor *createSystemUsbMonitor(QObject *parent);
