#pragma once

#include "platform/AdapterPorts.h"
#include "platform/UsbDeviceTable.h"
#include "platform/UsbIdentity.h"

#include <QList>

#include <optional>

// The COM ports in the system's record of USB devices: an instance whose friendly name ends in
// "(COMn)" is the adapter on COM n. The instance key is the adapter's serial number unless the
// system made one up from the adapter's place on the bus, which has "&" in it.

// The identity of the adapter on COM n; the first such instance when several claim it.
std::optional<UsbIdentity> usbIdentityOfPort(const QList<UsbDeviceTable::Device> &table, quint16 n);

// The adapters on the ports in present (the record also keeps adapters that are unplugged now).
QList<AdapterPort> usbAdapterPorts(const QList<UsbDeviceTable::Device> &table, const QList<quint16> &present);
