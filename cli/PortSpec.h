#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Turns the ports of the command line into COM numbers.
namespace PortSpec {

struct Resolved {
  QList<quint16> ports;
  QString error; // what is wrong, for the user; empty when every port was understood
  // The port was understood but cannot be used now (an adapter not plugged in, or two that fit).
  bool portError = false;
  QStringList notes;
};

// Each spec is COMn, n, a USB adapter's identity (usb:<serial>, usb:path:<USB path>: the port it
// is on now), or one of the system's own forms (see systemForm).
Resolved resolve(const QStringList &specs);
// The port that the window program stores ("PortNumber"), or an error that says how to choose one.
Resolved stored();
// Every present COM port of the system, ascending.
QList<quint16> present();

// Defined per system (cli/linux, cli/windows). The COM number of a spec in the system's own form
// (Linux: a device path, which gets a port-map entry when it lacks one; Windows: \\.\COMn);
// nullopt when spec is in none of them, or with the reason in out.error when it cannot be used.
std::optional<quint16> systemForm(const QString &spec, Resolved &out);
// The forms a port may take, in words: "COMn, n or a device path".
QString formsText();
// Why a write cannot use an absent port, and where to look for the present ones.
QString absentText(const QString &port);

} // namespace PortSpec
