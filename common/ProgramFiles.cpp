#include "common/ProgramFiles.h"

#include <QFileInfo>

QString programFilePath(const QString &programDir, const QString &relativePath) {
  const QString beside = programDir + u'/' + relativePath;
  if (QFileInfo::exists(beside))
    return beside;
  const QString installed = programDir + QStringLiteral("/../share/tamberlin/") + relativePath;
  if (QFileInfo::exists(installed))
    return QFileInfo(installed).absoluteFilePath();
  return beside;
}
