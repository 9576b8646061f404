#pragma once

#include "platform/UsbDeviceTable.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// The properties that udev reports for a device (ACTION, SUBSYSTEM, DEVTYPE, DEVPATH, DEVNAME,
// ID_VENDOR_ID, ID_MODEL_ID, ID_SERIAL_SHORT, ...), as recorded from an event or the database.
using UdevProperties = QHash<QByteArray, QByteArray>;

// What identifies a USB device to the rest of the program, made from udev's properties of the
// device itself or of a tty below it.
struct UsbIdentity {
  QString vendorId;  // four hexadecimal digits, upper case
  QString productId; // likewise
  QString serial;    // ID_SERIAL_SHORT; without one, the device's place on the bus ("1-2")
  QString product;   // the device's own product name, else the name in the USB database
  QString manufacturer;

  // Nothing when the properties name no USB device.
  static std::optional<UsbIdentity> fromProperties(const UdevProperties &properties);

  QString deviceKey() const; // VID_0403&PID_6001
  // \\?\USB#VID_0403&PID_6001#A50285BI#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
  QString interfacePath() const;
  // "<product> (COMn)", the port the only text in round brackets: the lookup of a device's port
  // takes the text between the first "(" and the first ")". Without a port, the product alone.
  QString friendlyName(quint16 com) const;
};

// Adds the tty that properties describe, on port com (0: none), to the device table.
void addToUsbDeviceTable(QList<UsbDeviceTable::Device> &table, const UdevProperties &tty, quint16 com);

// Turns udev's events into one arrival and one removal per USB device. A device arrives at "bind":
// udev hands out that event only after the events of the device's interfaces and ttys, so the tty
// and its /dev/serial/by-id link exist by then. "remove" may carry fewer properties than "add", so
// the path of a device is remembered when it is first seen.
class UsbEventFilter {
public:
  struct Report {
    bool arrival = false;
    QString path;
  };
  std::optional<Report> take(const UdevProperties &event);

private:
  QHash<QByteArray, QString> m_known; // DEVPATH -> interface path
};
