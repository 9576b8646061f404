#pragma once

#include <QList>
#include <QString>

// The COM port numbers that the system has now, in ascending order: on Windows the serial devices
// it lists, on Linux the port map's entries that lead to a device.
QList<quint16> systemComPorts();

// One line for the help texts: what "COM<n>" names on this system.
QString comPortMeaning();
