#pragma once

#include <QList>
#include <QString>

// The machine's processes as far as this user may see them: who runs, and who holds a device.
class ProcessList {
public:
  struct Process {
    qint64 pid = 0;
    QString name; // the command name, as ps shows it

    friend bool operator==(const Process &, const Process &) = default;
  };

  virtual ~ProcessList() = default;
  virtual QList<Process> all() const = 0;
  virtual bool alive(qint64 pid) const = 0;
  // Processes with an open file on the device node (given with every link resolved). Processes of
  // other users stay hidden unless this process may look into them.
  virtual QList<Process> holding(const QString &device) const = 0;

  static ProcessList &instance();
  // Installs a list for the whole process (tests); nullptr restores the system's.
  static void setInstance(ProcessList *list);
};

// The proc file system below root: one folder per process id, with "comm" and "fd/*" links.
class ProcProcessList : public ProcessList {
public:
  explicit ProcProcessList(QString root = QStringLiteral("/proc")) : m_root(std::move(root)) {}
  QList<Process> all() const override;
  bool alive(qint64 pid) const override;
  QList<Process> holding(const QString &device) const override;

private:
  QList<qint64> pids() const;
  QString nameOf(qint64 pid) const;
  QString m_root;
};
