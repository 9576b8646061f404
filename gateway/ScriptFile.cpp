#include "gateway/ScriptFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

QString ScriptFile::missing(const QString &path) {
  return QStringLiteral("File ") + path + QStringLiteral(" does not exist!");
}

QString ScriptFile::tooLarge(const QString &path, qint64 size, qint64 maxSize) {
  return QStringLiteral("File %1 has %2 bytes; a script file may have at most %3 bytes. Nothing was sent.")
      .arg(path)
      .arg(size)
      .arg(maxSize);
}

QString ScriptFile::problem(const QString &path, qint64 maxSize) {
  const QFileInfo info(path);
  const QString shown = QDir::toNativeSeparators(path);
  if (!info.isFile())
    return missing(shown);
  if (info.size() > maxSize)
    return tooLarge(shown, info.size(), maxSize);
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return QStringLiteral("File %1 cannot be read: %2").arg(shown, file.errorString());
  return {};
}

QString loadScript(TIndexStream &image, const QString &path) {
  try {
    image.LoadFromfile(path);
  } catch (const std::exception &e) {
    return QStringLiteral("File %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()));
  }
  return {};
}
