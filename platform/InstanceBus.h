#pragma once

#include <QObject>
#include <QString>

#include <functional>

// Who announces: the running copy, by a random number drawn once per process (process ids repeat
// across machines' namespaces and a truncated one repeats every 32768), and the announcing object's
// handle inside it.
struct InstanceId {
  quint64 process = 0;
  quint32 handle = 0;

  friend auto operator<=>(const InstanceId &, const InstanceId &) = default;

  // This running copy's number; never 0.
  static quint64 thisProcess();
};

// The announcement between running copies of the program: (sender, port) reaches every copy of
// the user's session, the sender's own included. Delivery is queued, never synchronous, so no
// copy blocks on another.
class InstanceBus : public QObject {
  Q_OBJECT
public:
  using Factory = std::function<InstanceBus *(QObject *parent)>;

  explicit InstanceBus(QObject *parent = nullptr) : QObject(parent) {}

  virtual void announce(const InstanceId &sender, qint32 port) = 0;
  // Why announcements go nowhere; empty while the bus works.
  virtual QString unavailableReason() const = 0;
  // How the other copies know the announcer whose handle in this process is localHandle.
  virtual InstanceId identity(quint32 localHandle) const { return {InstanceId::thisProcess(), localHandle}; }

  // The session's bus unless a test has installed a factory.
  static InstanceBus *create(QObject *parent);
  // Installs the factory for every later create() (tests); an empty one restores the session's.
  static void setFactory(Factory factory);

signals:
  void announced(quint64 senderProcess, quint32 senderHandle, qint32 port);
};

// The system's bus: a D-Bus signal on the session bus on Linux, the registered window message
// posted to every top-level window on Windows.
InstanceBus *createSystemInstanceBus(QObject *parent);
