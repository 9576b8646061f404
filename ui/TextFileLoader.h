#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// Turns the bytes of a document file into what a text view shows.
class TextFileLoader {
public:
  // Plain text: UTF-16 (little or big endian) or UTF-8 when the bytes begin with that byte-order
  // mark; otherwise the system's code page, or Latin-1 where the bytes are not valid in it.
  static QString decodePlainText(const QByteArray &bytes);

  // A document in Rich Text Format formatted, any other file as plain text.
  static void load(const QByteArray &bytes, QTextDocument *document);
};
