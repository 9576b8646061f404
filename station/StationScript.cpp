#include "station/StationScript.h"

#include "gateway/GatewayProtocol.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

namespace {
// At most one byte more than a script may have: enough to tell that a file is too large.
std::optional<QByteArray> readAtMost(const QString &path, qint64 limit, QString *error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error)
      *error = file.errorString();
    return std::nullopt;
  }
  QByteArray bytes = file.read(limit + 1);
  if (file.error() != QFileDevice::NoError) {
    if (error)
      *error = file.errorString();
    return std::nullopt;
  }
  return bytes;
}
} // namespace

qint64 StationScript::maxSize() {
  return Gateway::MaxScriptSize;
}

QString StationScript::load(const QString &path) {
  const QString shown = QDir::toNativeSeparators(path);
  const QFileInfo info(path);
  if (path.isEmpty() || !info.isFile())
    return QStringLiteral("The script %1 does not exist: choose the script file again.").arg(shown);
  QString error;
  const std::optional<QByteArray> bytes = readAtMost(path, maxSize(), &error);
  if (!bytes)
    return QStringLiteral("The script %1 cannot be read (%2): check that you may read it.").arg(shown, error);
  if (bytes->size() > maxSize())
    return QStringLiteral("The script %1 has %2 bytes; a script may have at most %3 bytes. Choose the "
                          "compiled script (.qcs).")
        .arg(shown)
        .arg(info.size())
        .arg(maxSize());
  if (bytes->isEmpty())
    return QStringLiteral("The script %1 is empty: choose the compiled script (.qcs).").arg(shown);
  m_loaded = true;
  m_path = path;
  m_bytes = *bytes;
  m_sha256 = QCryptographicHash::hash(m_bytes, QCryptographicHash::Sha256);
  m_loadedAt = QDateTime::currentDateTime();
  return {};
}

void StationScript::clear() {
  *this = StationScript();
}

QString StationScript::sha256() const {
  return m_loaded ? QString::fromLatin1(m_sha256.toHex()) : QString();
}

bool StationScript::changedOnDisk() const {
  if (!m_loaded)
    return false;
  const std::optional<QByteArray> now = readAtMost(m_path, maxSize(), nullptr);
  return !now || *now != m_bytes;
}
