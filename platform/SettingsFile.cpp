#include "platform/SettingsFile.h"

#include "platform/RegExportFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

RegValue RegValue::fromString(const QString &text) {
  RegValue v;
  v.type = Type::String;
  v.rawType = 1;
  v.string = text;
  return v;
}

RegValue RegValue::fromDword(quint32 value) {
  RegValue v;
  v.type = Type::Dword;
  v.rawType = 4;
  v.dword = value;
  return v;
}

RegValue RegValue::fromBinary(const QByteArray &bytes) {
  RegValue v;
  v.type = Type::Binary;
  v.rawType = 3;
  v.data = bytes;
  return v;
}

bool RegValue::operator==(const RegValue &o) const {
  if (type != o.type || rawType != o.rawType)
    return false;
  switch (type) {
  case Type::String:
    return string == o.string;
  case Type::Dword:
    return dword == o.dword;
  case Type::Binary:
  case Type::Other:
    return data == o.data;
  }
  return false;
}

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

RegKey *findKey(RegModel &model, const QString &full) {
  for (RegKey &k : model.keys)
    if (sameName(k.path, full))
      return &k;
  return nullptr;
}

RegEntry *findEntry(RegKey &key, const QString &name) {
  for (RegEntry &e : key.entries)
    if (sameName(e.name, name))
      return &e;
  return nullptr;
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
  QSaveFile out(path);
  const QByteArray bytes = RegExportFormat::serialize(model);
  // Unbuffered, so that a short write (disk full, file size limit) shows here; a buffered one is
  // committed truncated.
  if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size() ||
      !out.commit()) {
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
  for (const RegKey &k : model.keys)
    if (sameName(k.path, full) || isBelow(k.path, full))
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
    if (findKey(model, full))
      return false;
    model.keys.append(RegKey{full, {}});
    return true;
  });
}

std::optional<RegValue> SettingsFile::value(const QString &key, const QString &name) {
  m_lastError.clear();
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return std::nullopt;
  if (RegKey *k = findKey(model, fullKey(key)))
    if (RegEntry *e = findEntry(*k, name))
      return e->value;
  return std::nullopt;
}

bool SettingsFile::setValue(const QString &key, const QString &name, const RegValue &value) {
  m_lastError.clear();
  const QString full = fullKey(key);
  return modify(m_path, m_lastError, [&](RegModel &model) {
    RegKey *k = findKey(model, full);
    if (!k) {
      model.keys.append(RegKey{full, {}});
      k = &model.keys.last();
    }
    if (RegEntry *e = findEntry(*k, name)) {
      if (e->value == value)
        return false;
      e->value = value;
    } else {
      k->entries.append(RegEntry{name, value});
    }
    return true;
  });
}

bool SettingsFile::deleteValue(const QString &key, const QString &name) {
  m_lastError.clear();
  const QString full = fullKey(key);
  return modify(m_path, m_lastError, [&](RegModel &model) {
    RegKey *k = findKey(model, full);
    if (!k)
      return false;
    for (qsizetype i = 0; i < k->entries.size(); ++i) {
      if (sameName(k->entries.at(i).name, name)) {
        k->entries.removeAt(i);
        return true;
      }
    }
    return false;
  });
}

QStringList SettingsFile::subKeys(const QString &key) {
  m_lastError.clear();
  QStringList names;
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return names;
  const QString full = fullKey(key);
  for (const RegKey &k : model.keys) {
    if (!isBelow(k.path, full))
      continue;
    const QString child = k.path.mid(full.size() + 1).section(QLatin1Char('\\'), 0, 0);
    bool known = false;
    for (const QString &n : names)
      known = known || sameName(n, child);
    if (!known)
      names << child;
  }
  return names;
}

QStringList SettingsFile::valueNames(const QString &key) {
  m_lastError.clear();
  QStringList names;
  RegModel model;
  if (!load(m_path, model, m_lastError))
    return names;
  if (RegKey *k = findKey(model, fullKey(key)))
    for (const RegEntry &e : k->entries)
      names << e.name;
  return names;
}
