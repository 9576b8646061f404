#include "station/TracePlace.h"

#include "platform/UserSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
const QString kKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\Trace");
const QString kName = QStringLiteral("RecordFile");
} // namespace

QString TracePlace::defaultPath() {
  // The generic folder, not the program's own: the window program and tamberlin-cli share one record.
  QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (base.isEmpty())
    base = QDir::homePath();
  return QDir::toNativeSeparators(base + QStringLiteral("/Quarnel/Tamberlin/trace.csv"));
}

QString TracePlace::stored(QString *problem) {
  UserSettings settings;
  const std::optional<RegValue> value = settings.value(kKey, kName);
  if (!value) {
    if (problem && !settings.lastError().isEmpty())
      *problem = settings.lastError();
    return {};
  }
  if (value->type != RegValue::Type::String) {
    if (problem)
      *problem = QStringLiteral("The setting %1 in %2 is not a text; the record stays in its default place")
                     .arg(kName, settings.location());
    return {};
  }
  return value->string;
}

QString TracePlace::store(const QString &path) {
  UserSettings settings;
  if (path.isEmpty()) {
    if (settings.valueNames(kKey).contains(kName, Qt::CaseInsensitive) && !settings.deleteValue(kKey, kName))
      return settings.lastError();
    return {};
  }
  const QFileInfo file(path);
  if (file.isDir())
    return QStringLiteral("%1 is a folder: name a file for the record").arg(QDir::toNativeSeparators(path));
  if (!settings.createKey(kKey) ||
      !settings.setValue(kKey, kName,
                         RegValue::fromString(QDir::toNativeSeparators(file.absoluteFilePath()))))
    return settings.lastError();
  return {};
}

QString TracePlace::current(QString *problem) {
  const QString chosen = stored(problem);
  return chosen.isEmpty() ? defaultPath() : chosen;
}
