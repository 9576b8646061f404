#include "platform/SettingsFile.h"

#include "platform/RegExportFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const char *const kRoot = "HKEY_CURRENT_USER";

// "\SOFTWARE\\Quarnel\" -> "HKEY_CURRENT_USER\SOFTWARE\Quarnel"
QString fullKey(const QString &key) {
  QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
  parts.prepend(QLatin1String(kRoot));
  return parts.join(QLatin1Char('\\'));
}

bool sameName(const QString &a, const QString &b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBelow(const QString &path, const QString &parent) {
  return path.size() > parent.size() && path.at(parent.size()) == QLatin1Char('\\') &&
         sameName(path.left(parent.size()), parent);
}

} // namespace

SettingsFile::SettingsFile(const QString &path) : m_path(path) {}

QString SettingsFile::defaultPath() {
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty())
    config = QDir::homePath() + QStringLiteral("/.config");
  return config + QStringLiteral("/Quarnel/Tamberlin.reg");
}

namespace {

// Reads and parses the file. A missing file is an empty model.
bool load(const QString &path, RegModel &model, QString &error) {
  model = RegModel();
  QFile file(path);
  if (!file.exists())
    return true;
  if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("The settings file %1 cannot be read: %2").arg(path, file.errorString());
    return false;
  }
  const QByteArray bytes = file.readAll();
  QString parseError;
  if (!RegExportFormat::parse(bytes, model, parseError)) {
    error = QStringLiteral("The settings file %1 is not a registry export (%2). Tamberlin leaves it "
                           "unchanged and uses its defaults; repair or remove the file.")
                .arg(path, parseError);
    return false;
  }
  return true;
}

// Writes all of bytes. A short write is tried again for the rest, so that a full disk or a size
// limit is reported with the system's reason and not as an unknown error.
bool writeAll(QSaveFile &out, const QByteArray &bytes) {
  for (qint64 done = 0; done < bytes.size();) {
    const qint64 n = out.write(bytes.constData() + done, bytes.size() - done);
    if (n <= 0)
      return false;
    done += n;
  }
  return true;
}

// The writer never leaves a file that its reader takes differently (a name or key that the format
// cannot hold would be lost at the next start).
bool readsBack(const QByteArray &bytes, const RegModel &model, QString &why) {
  RegModel again;
  if (!RegExportFormat::parse(bytes, again, why))
    return false;
  if (again.values() != model.values()) {
    why = QStringLiteral("a key or value name that the file format cannot hold");
    return false;
  }
  return true;
}

// Locks the file, re-reads it, lets change() edit the model and replaces the file atomically.
template <class Change> bool modify(const QString &path, QString &error, Change change) {
  const QFileInfo info(path);
  if (!QDir().mkpath(info.absolutePath())) {
    error = QStringLiteral("The settings folder %1 cannot be created.").arg(info.absolutePath());
    return false;
  }
  QLockFile lock(path + QStringLiteral(".lock"));
  if (!lock.tryLock(5000)) {
    error =
        lock.error() == QLockFile::LockFailedError
            ? QStringLiteral("The settings file %1 is locked by another program.").arg(path)
            : QStringLiteral("The settings file %1 cannot be locked (its folder is not writable).").arg(path);
    return false;
  }
  RegModel model;
  if (!load(path, model, error))
    return false;
  if (!change(model))
    return true; // nothing to write
  const QByteArray bytes = RegExportFormat::serialize(model);
  QString why;
  if (!readsBack(bytes, model, why)) {
    error = QStringLiteral("The settings file %1 is not written: %2").arg(path, why);
    return false;
  }
  QSaveFile out(path);
  // Unbuffered, so that a short write (disk full, file size limit) shows here; a buffered one is
  // committed truncated.
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || !writeAll(out, bytes) || !out.commit()) {
    error = QStringLiteral("The settings file %1 cannot be written: %2").arg(path, out.errorString());
    return false;
  }
  return true;
}

} // namespace

bool SettingsFile::keyExists(const QString &key) {
  m_lastError.clear();
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return false;
  const QString full = fullKey(key);
  for (const QString &path : model.paths())
    if (sameName(path, full) || isBelow(path, full))
      return true;
  return false;
}

bool SettingsFile::createKey(const QString &key) {
  if (keyExists(key))
    return true;
  if (!m_lastError.isEmpty())
    return false;
  const QString full = fullKey(key);
  return modify(m_path, m_lastError, [&](RegModel &model) {
    if (model.hasKey(full))
      return false;
    model.addSection(full);
    return true;
  });
}

std::optional<RegValue> SettingsFile::value(const QString &key, const QString &name) {
  m_lastError.clear();
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return std::nullopt;
  if (const RegValue *v = model.find(fullKey(key), name))
    return *v;
  return std::nullopt;
}

bool SettingsFile::setValue(const QString &key, const QString &name, const RegValue &value) {
  m_lastError.clear();
  const QString full = fullKey(key);
  return modify(m_path, m_lastError, [&](RegModel &model) { return model.set(full, name, value); });
}

bool SettingsFile::deleteValue(const QString &key, const QString &name) {
  m_lastError.clear();
  const QString full = fullKey(key);
  return modify(m_path, m_lastError, [&](RegModel &model) { return model.remove(full, name); });
}

QStringList SettingsFile::subKeys(const QString &key) {
  m_lastError.clear();
  QStringList names;
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return names;
  const QString full = fullKey(key);
  for (const QString &path : model.paths()) {
    if (!isBelow(path, full))
      continue;
    const QString child = path.mid(full.size() + 1).section(QLatin1Char('\\'), 0, 0);
    if (!names.contains(child, Qt::CaseInsensitive))
      names << child;
  }
  return names;
}

QStringList SettingsFile::valueNames(const QString &key) {
  m_lastError.clear();
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return {};
  return model.valueNames(fullKey(key));
}
