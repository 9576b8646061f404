#pragma once

#include <QList>
#include <QString>

#include <optional>

// The system's record of USB devices, read only: device keys named after the vendor and product
// ("VID_vvvv&PID_pppp"), each with instance keys that may hold a "FriendlyName" such as
// "USB Serial Device (COM7)".
class UsbDeviceTable {
public:
  struct Instance {
    QString name;
    QString friendlyName; // empty when the instance has none
  };
  struct Device {
    QString name;
    QList<Instance> instances;
  };

  virtual ~UsbDeviceTable() = default;
  // The device keys in the table's order; nothing when the table cannot be read.
  virtual std::optional<QList<Device>> devices() const = 0;

  static UsbDeviceTable &instance();
  // Installs a table for the whole process (tests); nullptr restores the system's.
  static void setInstance(UsbDeviceTable *table);
};
