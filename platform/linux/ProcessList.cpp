#include "platform/linux/ProcessList.h"

#include "platform/Seam.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

QList<qint64> ProcProcessList::pids() const {
  QList<qint64> out;
  const QStringList names = QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &name : names) {
    bool ok = false;
    const qint64 pid = name.toLongLong(&ok);
    if (ok && pid > 0)
      out << pid;
  }
  std::sort(out.begin(), out.end());
  return out;
}

QString ProcProcessList::nameOf(qint64 pid) const {
  QFile comm(QStringLiteral("%1/%2/comm").arg(m_root).arg(pid));
  if (!comm.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(comm.read(64)).trimmed();
}

QList<ProcessList::Process> ProcProcessList::all() const {
  QList<Process> out;
  for (qint64 pid : pids())
    out << Process{pid, nameOf(pid)};
  return out;
}

bool ProcProcessList::alive(qint64 pid) const {
  return pid > 0 && QFileInfo(QStringLiteral("%1/%2").arg(m_root).arg(pid)).isDir();
}

QList<ProcessList::Process> ProcProcessList::holding(const QString &device) const {
  QList<Process> out;
  for (qint64 pid : pids()) {
    // Folders of other users' processes do not open without privileges: they are skipped.
    const QDir fds(QStringLiteral("%1/%2/fd").arg(m_root).arg(pid));
    const QFileInfoList links = fds.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    const bool holds = std::any_of(links.begin(), links.end(), [&](const QFileInfo &fd) {
      return fd.isSymLink() && fd.symLinkTarget() == device;
    });
    if (holds)
      out << Process{pid, nameOf(pid)};
  }
  return out;
}

ProcessList &ProcessList::instance() {
  return Seam<ProcessList>::instance<ProcProcessList>();
}

void ProcessList::setInstance(ProcessList *list) {
  Seam<ProcessList>::installed = list;
}
