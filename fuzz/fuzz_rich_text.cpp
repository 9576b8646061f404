// The read-me reader. Properties: no input crashes it or grows without bound (every character
// shown comes from at least one byte read), and reading replaces what the document held: the same
// bytes give the same text in a fresh document and in one that showed something else.
#include "fuzz/FuzzCheck.h"
#include "ui/RichTextReader.h"

#include <QGuiApplication>
#include <QTextDocument>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication app(*argc, *argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  RichTextReader::isRichText(bytes);

  QTextDocument fresh;
  RichTextReader::read(bytes, &fresh);
  const QString text = fresh.toPlainText();
  FUZZ_CHECK(text.size() <= bytes.size(), "every character shown comes from a byte read");

  QTextDocument used;
  used.setPlainText(QStringLiteral("an earlier document\nwith two paragraphs"));
  RichTextReader::read(bytes, &used);
  FUZZ_CHECK(used.toPlainText() == text, "reading replaces the document's contents");
  FUZZ_CHECK(used.blockCount() == fresh.blockCount(), "reading replaces the document's paragraphs");
  return 0;
}
