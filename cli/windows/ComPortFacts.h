#pragma once

#include "platform/UsbDeviceTable.h"
#include "platform/UsbIdentity.h"
#include "platform/UsbPortNames.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// What opening a COM port for a moment showed.
struct ComPortUse {
  enum class State { Free, Held, Absent, Failed };
  State state = State::Free;
  QString error; // the system's words when the open failed for another reason (Failed)
};

// What is known about one COM port of the system.
struct ComPortFacts {
  quint16 number = 0;
  ComPortUse use;
  std::optional<UsbIdentity> usb; // vendor, product, serial and name from the USB record
  std::optional<quint32> latencyTimerMs = std::nullopt; // the adapter's, where its driver keeps one (FTDI)

  bool present() const { return use.state != ComPortUse::State::Absent; }
  bool held() const { return use.state == ComPortUse::State::Held; }
  QString name() const { return QStringLiteral("COM%1").arg(number); }
  QString device() const { return QStringLiteral("\\\\.\\COM%1").arg(number); }
};

// The facts of the ports in their order; a port missing from uses counts as free.
QList<ComPortFacts> comPortFacts(const QList<quint16> &ports, const QMap<quint16, ComPortUse> &uses,
                                 const QList<UsbDeviceTable::Device> &table);
