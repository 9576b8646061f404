#pragma once

#include <QList>
#include <QString>

// Turns the ports of the command line into COM numbers of the port map.
namespace PortSpec {

struct Resolved {
  QList<quint16> ports;
  QString error; // what is wrong, for the user; empty when every port was understood
  QStringList notes;
};

// Each spec is COMn, n, or a device path; a device path that the map lacks gets an entry.
Resolved resolve(const QStringList &specs);
// The port that the window program stores ("PortNumber"), or an error that says how to choose one.
Resolved stored();
// Every present port of the map, ascending.
QList<quint16> present();

} // namespace PortSpec
