#pragma once

#include <QByteArray>

class QTextDocument;

// Reads the part of Rich Text Format that documents such as a read-me use: paragraphs with
// alignment, indents and spacing; bold, italic, underline, strike-out, super- and subscript;
// fonts, font sizes, text and highlight colours; \uN and \'hh characters in the document's code
// page. Destinations it does not show (\*, info, stylesheet, pictures, headers, ...) are skipped.
//
// The reader is iterative and bounded: truncated documents end where the bytes end, and groups
// nested deeper than maxDepth are dropped with everything inside them, so no input can exhaust
// the stack or the memory.
class RichTextReader {
public:
  static constexpr int maxDepth = 4096;

  // True when the bytes begin like a document in Rich Text Format.
  static bool isRichText(const QByteArray &bytes);

  // Replaces the document's contents with the formatted text.
  static void read(const QByteArray &bytes, QTextDocument *document);
};
