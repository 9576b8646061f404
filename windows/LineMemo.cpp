#include "windows/LineMemo.h"

#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>

namespace {
// Control characters would split the line or vanish; show them as their control pictures.
QString oneLine(const QString &text) {
  QString out = text;
  for (QChar &c : out) {
    const char16_t u = c.unicode();
    if (u < 0x20 && u != u'\t')
      c = QChar(char16_t(0x2400 + u));
    else if (u == 0x7f)
      c = QChar(char16_t(0x2421));
    else if (u == 0x2028 || u == 0x2029)
      c = QChar(u' ');
  }
  return out;
}
} // namespace

LineMemo::LineMemo(QWidget *parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  // A user who types into a cleared view creates its first line.
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (m_noLines && !document()->isEmpty())
      m_noLines = false;
  });
}

int LineMemo::lineCount() const {
  return m_noLines ? 0 : document()->blockCount();
}

QString LineMemo::line(int index) const {
  if (index < 0 || index >= lineCount())
    return {};
  return document()->findBlockByNumber(index).text();
}

QStringList LineMemo::lines() const {
  QStringList result;
  if (m_noLines)
    return result;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
    result << b.text();
  return result;
}

void LineMemo::addLine(const QString &text) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  if (m_noLines)
    m_noLines = false;
  else
    cursor.insertBlock();
  cursor.insertText(oneLine(text));
}

void LineMemo::deleteFirstLine() {
  if (m_noLines)
    return;
  if (document()->blockCount() == 1) {
    clearLines();
    return;
  }
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::Start);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
  cursor.removeSelectedText();
}

void LineMemo::clearLines() {
  clear();
  m_noLines = true;
}

void LineMemo::setCaret(int line, int column) {
  const QTextBlock block = document()->findBlockByNumber(qMax(0, line));
  if (!block.isValid())
    return;
  QTextCursor cursor(block);
  cursor.setPosition(block.position() + qBound(0, column, block.length() - 1));
  setTextCursor(cursor);
  ensureCursorVisible();
}

bool LineMemo::saveToFile(const QString &path, QString *error) {
  QByteArray bytes;
  for (const QString &l : lines())
    bytes += l.toUtf8() + '\n';
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error)
      *error = file.errorString();
    return false;
  }
  return true;
}
