#include "gateway/ScriptImage.h"

#include <QFile>

#include <limits>
#include <stdexcept>

namespace {
[[noreturn]] void raiseOpenError(const QString &fileName, const QString &reason) {
  throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason).toStdString());
}
} // namespace

void TIndexStream::LoadFromfile(const QString &fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly))
    raiseOpenError(fileName, file.errorString());
  // UseSize is 32-bit; a file beyond that cannot be an image, and reading it would only
  // exhaust memory.
  if (file.size() > std::numeric_limits<qint32>::max())
    raiseOpenError(fileName, QStringLiteral("The file is too large."));
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    raiseOpenError(fileName, file.errorString());
  m_data = std::move(bytes);
  m_position = 0;
  FUseSize = qint32(m_data.size());
}

void TIndexStream::LoadFromBytes(const QByteArray &bytes) {
  m_data = bytes;
  m_position = 0;
  FUseSize = qint32(qMin<qsizetype>(m_data.size(), std::numeric_limits<qint32>::max()));
}

quint8 TIndexStream::GetByteIDX(quint16 index) {
  if (index > m_data.size())
    throw std::runtime_error("TIndexStream: GetByteIdx: Index>Size");
  m_position = index;
  // At index == size there is no byte to read; callers never ask for it, and 0 is a defined answer.
  if (m_position >= m_data.size())
    return 0;
  return quint8(m_data.at(m_position++));
}
