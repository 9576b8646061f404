#include "ui/AboutText.h"

#include "ui/TextFileLoader.h"

#include <QRegularExpression>

void AboutText::addMultiLines(const QString &text, QStringList &lines) {
  static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
  lines.append(text.split(lineBreak));
}

QStringList AboutText::productLines(const QString &productInfo) {
  return {productInfo, QString(102, u'-')};
}

QStringList AboutText::versionLines(const QString &copyright, const QString &trademarks,
                                    const QString &about) {
  QStringList lines;
  addMultiLines(copyright, lines);
  lines << QString();
  addMultiLines(trademarks, lines);
  lines << QString();
  addMultiLines(about, lines);
  return lines;
}

QString AboutText::changeLog(const QByteArray &file) {
  QStringList lines;
  addMultiLines(TextFileLoader::decodePlainText(file), lines);
  if (lines.last().isEmpty())
    lines.removeLast(); // a final line break ends the last line; it does not start another

  QString message;
  int shown = 0;
  for (QString line : std::as_const(lines)) {
    const qsizetype room = maxChangeLogChars - message.size();
    const bool cut = shown == maxChangeLogLines || line.size() > room;
    if (cut)
      line = line.left(shown == maxChangeLogLines ? 0 : room) + QStringLiteral("...");
    for (QChar &c : line)
      if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
        c = QChar::ReplacementCharacter;
    message += line + QStringLiteral("\n\r \n\r");
    ++shown;
    if (cut)
      break;
  }
  return message;
}
