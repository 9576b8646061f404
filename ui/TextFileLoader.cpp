#include "ui/TextFileLoader.h"

#include "ui/RichTextReader.h"

#include <QStringDecoder>
#include <QTextDocument>

QString TextFileLoader::decodePlainText(const QByteArray &bytes) {
  if (const auto bom = QStringConverter::encodingForData(bytes)) {
    if (*bom == QStringConverter::Utf8 || *bom == QStringConverter::Utf16LE ||
        *bom == QStringConverter::Utf16BE) {
      QStringDecoder decoder(*bom, QStringConverter::Flag::Stateless);
      return decoder.decode(bytes); // the decoder drops the byte-order mark
    }
  }
  QStringDecoder system(QStringConverter::System, QStringConverter::Flag::Stateless);
  const QString text = system.decode(bytes);
  // Where the system's code page is UTF-8, a file from an older system is usually Latin-1.
  return system.hasError() ? QString::fromLatin1(bytes) : text;
}

void TextFileLoader::load(const QByteArray &bytes, QTextDocument *document) {
  if (RichTextReader::isRichText(bytes))
    RichTextReader::read(bytes, document);
  else
    document->setPlainText(decodePlainText(bytes));
}
