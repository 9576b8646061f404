#pragma once

#include <QList>

// The COM port numbers that the system has now, in ascending order: on Windows the serial devices
// it lists, on Linux the port map's entries that lead to a device.
QList<quint16> systemComPorts();
