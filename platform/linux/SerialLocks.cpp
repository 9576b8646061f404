#include "platform/linux/SerialLocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

namespace {
std::optional<QStringList> g_override;

qint64 ownerPid(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return 0;
  bool ok = false;
  const qint64 pid = QString::fromLatin1(f.readLine(64)).trimmed().toLongLong(&ok);
  return ok && pid > 0 ? pid : 0;
}

// In a sticky folder such as /var/lock only the file's owner (or root) may remove it.
bool removable(const QFileInfo &file) {
  const QFileInfo folder(file.absolutePath());
  if (!folder.isWritable())
    return false;
  struct stat st {};
  const bool sticky = ::stat(QFile::encodeName(folder.absoluteFilePath()).constData(), &st) == 0 &&
                      (st.st_mode & S_ISVTX) != 0;
  return !sticky || ::geteuid() == 0 || file.ownerId() == ::geteuid();
}
} // namespace

QList<SerialLocks::Lock> SerialLocks::all() {
  QList<Lock> out;
  QSet<QString> seen; // /var/lock is often a link to /run/lock
  for (const QString &folder : folders()) {
    const QDir dir(folder);
    const QString canonical = dir.canonicalPath();
    if (canonical.isEmpty() || seen.contains(canonical))
      continue;
    seen.insert(canonical);
    const QFileInfoList files = dir.entryInfoList({QStringLiteral("LCK..*")}, QDir::Files | QDir::System);
    for (const QFileInfo &file : files)
      out << Lock{file.absoluteFilePath(), file.fileName().mid(5), ownerPid(file.absoluteFilePath()),
                  removable(file)};
  }
  return out;
}

QStringList SerialLocks::folders() {
  if (g_override)
    return *g_override;
  return {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/tmp")};
}

void SerialLocks::setFoldersOverride(const std::optional<QStringList> &folders) {
  g_override = folders;
}

QString SerialLocks::deviceNameOf(const QString &device, const QString &devRoot) {
  QString name = device;
  const QString root = QFileInfo(devRoot).canonicalFilePath() + QLatin1Char('/');
  if (name.startsWith(root))
    name = name.mid(root.size());
  return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}
