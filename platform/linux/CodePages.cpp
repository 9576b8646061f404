#include "platform/CodePages.h"

#include <QStringDecoder>

std::optional<QString> decodeCodePage(quint32 codePage, const QByteArray &bytes) {
  // ICU knows the code pages by either name.
  QStringDecoder decoder(QByteArray("windows-" + QByteArray::number(codePage)).constData());
  if (!decoder.isValid())
    decoder = QStringDecoder(QByteArray("CP" + QByteArray::number(codePage)).constData());
  if (!decoder.isValid())
    return std::nullopt;
  return decoder.decode(bytes);
}
