#include "gateway/ScriptFile.h"

#include <exception>

QString loadScript(TIndexStream &image, const QString &path) {
  try {
    image.LoadFromfile(path);
  } catch (const std::exception &e) {
    return QStringLiteral("File %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()));
  }
  return {};
}
