#include "platform/RecordFile.h"

#include <QDir>
#include <QFileInfo>

QByteArray RecordFile::appendix(qint64 size, char lastByte, const QByteArray &head, const QByteArray &line) {
  if (size <= 0)
    return head + line;
  if (lastByte != '\n')
    return '\n' + line;
  return line;
}

QString RecordFile::makeFolder(const QString &path) {
  const QString folder = QFileInfo(path).absolutePath();
  if (QDir().mkpath(folder))
    return {};
  return QStringLiteral("the folder %1 cannot be created; create it, or choose another place for the record")
      .arg(QDir::toNativeSeparators(folder));
}
