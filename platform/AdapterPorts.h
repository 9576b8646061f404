#pragma once

#include "platform/UsbIdentity.h"

#include <QList>
#include <QString>

#include <optional>

// A USB serial adapter that is plugged in now, with the COM number the system gives it.
struct AdapterPort {
  quint16 com = 0;
  UsbIdentity usb; // serial empty when the adapter has none
  // Where the adapter sits on the USB tree, for adapters without a serial number: the kernel's
  // device name on Linux ("1-2.3": bus 1, port 2, then port 3 of the hub there), the instance key
  // that Windows derives from the hub and port on Windows ("6&2c8a3b1&0&3").
  QString place;

  // What a slot or --port binds to: "usb:<serial>", or "usb:path:<place>" without a serial.
  QString binding() const;
  // Whether binding names this adapter: by its serial number, or by its place (which tells apart
  // adapters that share a serial number).
  bool matches(const QString &binding) const;
  // For a person: "0403:6001 serial A50285BI" or "1A86:7523 at USB path 1-2.3".
  QString text() const;
};

// Which USB adapter is on which COM port now. The system's view unless a test installs another.
class AdapterPorts {
public:
  virtual ~AdapterPorts() = default;
  // The adapters present now, ascending by COM number. Linux first gives newly plugged adapters
  // their automatic port-map entry, as the window program does; a folder that cannot be written
  // goes to *note.
  virtual QList<AdapterPort> present(QString *note = nullptr) = 0;

  static AdapterPorts &instance();
  // Installs a view for the whole process (tests); nullptr restores the system's.
  static void setInstance(AdapterPorts *ports);
};

// The system's adapters now (each system's backend); what AdapterPorts gives unless a test
// installs another view.
QList<AdapterPort> systemAdapterPorts(QString *note);

// The adapters that binding names ("usb:..." as above; case matters for serials).
QList<AdapterPort> adaptersWithBinding(const QList<AdapterPort> &ports, const QString &binding);
// The adapter on COM com, if that port is a USB adapter's.
std::optional<AdapterPort> adapterOnPort(const QList<AdapterPort> &ports, quint16 com);
// True for text in the binding form ("usb:" followed by something).
bool isAdapterBinding(const QString &text);
