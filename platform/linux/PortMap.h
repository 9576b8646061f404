#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

// The one place that knows how a COM number becomes a device.
//
// COM n is the entry `comN` in ${XDG_CONFIG_HOME:-$HOME/.config}/Quarnel/ports/: a symbolic link
// to a device node, as Wine's dosdevices. Port n exists exactly when the entry exists and its
// target exists, so the link of an unplugged USB adapter dangles and the port reads absent.
//
// Users, the simulator and the tests create entries by hand. refresh() adds entries of its own:
// onboard UARTs (ttyS* with a real port behind them, not the kernel console) from COM1 up, USB
// serial adapters (ttyUSB*, ttyACM*) from COM3 up, each on the lowest free number and linked to
// its stable /dev/serial/by-id name when there is one, so an adapter keeps its number across
// unplugging. The entries it made are listed, with the target each got, in the file
// `.automatic` of the same folder ("comN<TAB>target" per line). An entry counts as the
// program's only while that list names it with the target it still has; an entry that a user
// made or re-pointed is never changed or removed. The program never removes its own entries
// either: a number, once given, stays with its device.
class PortMap {
public:
  struct Roots {
    QString folder; // the ports folder
    QString dev;    // device tree, normally /dev
    QString sys;    // sysfs, normally /sys
  };
  // Roots from the environment (XDG_CONFIG_HOME or HOME), unless tests set others.
  static Roots currentRoots();
  static void setRootsOverride(const std::optional<Roots> &roots);

  PortMap();
  explicit PortMap(Roots roots);

  const Roots &roots() const { return m_roots; }
  QString folder() const { return m_roots.folder; }
  QString entryPath(quint16 n) const;

  enum class State { NoEntry, Dangling, Present };
  struct Resolved {
    State state = State::NoEntry;
    QString entry;  // path of comN
    QString target; // where the link points, as written in it (empty without a link)
    QString device; // the device node with every link resolved (Present only)
  };
  Resolved resolve(quint16 n) const;
  bool exists(quint16 n) const { return n != 0 && resolve(n).state == State::Present; }

  // Numbers of all entries, ascending, whether or not their targets exist.
  QList<quint16> numbers() const;
  bool isAutomatic(quint16 n) const;

  // Creates comN -> device. Refused when comN exists (whoever made it) or the folder cannot be
  // written; the reason goes to *error.
  bool publish(quint16 n, const QString &device, QString *error = nullptr);
  // Removes comN only while it still points to device.
  bool unpublish(quint16 n, const QString &device);

  struct RefreshResult {
    QList<quint16> added;
    QString error; // empty when the folder could be written (or nothing needed writing)
  };
  // Adds automatic entries for serial devices that have none yet.
  RefreshResult refresh();

  // The machine's serial device nodes, whether or not an entry reaches them: USB adapters, and
  // the onboard UARTs that may have a port behind them (sysfs says so, or cannot tell, as in a
  // container without it).
  QStringList serialDevices() const;

private:
  QMap<QString, QString> readAutomatic() const;
  bool writeAutomatic(const QMap<QString, QString> &list, QString *error) const;
  bool ensureFolder(QString *error) const;

  Roots m_roots;
};
