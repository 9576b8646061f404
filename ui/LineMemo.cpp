#include "ui/LineMemo.h"

#include "platform/Clock.h"

#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace {
// A person reads the log at this pace; more often only costs layout.
const int kSyncEveryMs = 100;

// Control characters would split the line or vanish; they are shown as their control pictures.
QChar shownAs(QChar c) {
  const char16_t u = c.unicode();
  if (u < 0x20 && u != u'\t')
    return QChar(char16_t(0x2400 + u));
  if (u == 0x7f)
    return QChar(char16_t(0x2421));
  if (u == 0x2028 || u == 0x2029)
    return QChar(u' ');
  return c;
}

// Most lines hold no such character and are shared, not copied.
QString oneLine(const QString &text) {
  const auto first = std::find_if(text.begin(), text.end(), [](QChar c) { return shownAs(c) != c; });
  if (first == text.end())
    return text;
  QString out = text;
  const auto from = out.begin() + (first - text.begin());
  std::transform(from, out.end(), from, shownAs);
  return out;
}
} // namespace

LineMemo::LineMemo(QWidget *parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  // Like the empty view, the log starts with one empty line.
  m_lines << QString();
  m_sync = new ClockTimer(this);
  m_sync->setSingleShot(true);
  m_sync->setInterval(kSyncEveryMs);
  connect(m_sync, &ClockTimer::timeout, this, &LineMemo::syncView);
  // What a user types becomes the log's lines.
  connect(document(), &QTextDocument::contentsChanged, this, [this] {
    if (!m_syncing)
      adoptTypedText();
  });
}

QString LineMemo::line(int index) const {
  return oneLine(m_lines.value(index));
}

QStringList LineMemo::lines() const {
  QStringList shown;
  shown.reserve(m_lines.size());
  for (const QString &l : m_lines)
    shown << oneLine(l);
  return shown;
}

void LineMemo::addLine(const QString &text) {
  if (m_lines.isEmpty())
    m_firstId = m_nextId;
  m_lines.append(text);
  ++m_nextId;
  changed();
}

void LineMemo::deleteFirstLine() {
  if (m_lines.isEmpty())
    return;
  m_lines.removeFirst();
  ++m_firstId;
  changed();
}

void LineMemo::clearLines() {
  m_lines.clear();
  m_firstId = m_nextId;
  changed();
}

void LineMemo::setCaret(int line, int column) {
  if (line < 0 || line >= m_lines.size())
    return;
  m_caretLine = line;
  m_caretColumn = qBound(0, column, int(m_lines.at(line).size()));
  changed();
}

void LineMemo::changed() {
  if (isVisible() && !m_sync->isActive())
    m_sync->start();
}

void LineMemo::showEvent(QShowEvent *event) {
  QPlainTextEdit::showEvent(event);
  syncView();
}

void LineMemo::syncView() {
  m_syncing = true;
  const quint64 viewEnd = m_viewFirstId + quint64(m_viewCount);
  // Lines that left the front of the log since the last time, and lines that came at its end.
  const bool continues = m_viewCount > 0 && m_firstId >= m_viewFirstId && m_firstId < viewEnd &&
                         m_firstId + quint64(m_lines.size()) >= viewEnd;
  if (!continues) {
    rebuildView();
  } else {
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (quint64 gone = m_viewFirstId; gone < m_firstId; ++gone) {
      cursor.movePosition(QTextCursor::Start);
      cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
      cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    for (qsizetype i = qsizetype(viewEnd - m_firstId); i < m_lines.size(); ++i) {
      cursor.insertBlock();
      cursor.insertText(oneLine(m_lines.at(i)));
    }
    cursor.endEditBlock();
  }
  m_viewFirstId = m_firstId;
  m_viewCount = int(m_lines.size());
  if (m_viewCount == 0)
    m_viewFirstId = m_nextId;
  const QTextBlock block = document()->findBlockByNumber(m_caretLine);
  if (block.isValid()) {
    QTextCursor caret(block);
    caret.setPosition(block.position() + qBound(0, m_caretColumn, block.length() - 1));
    setTextCursor(caret);
    ensureCursorVisible();
  }
  m_syncing = false;
}

void LineMemo::rebuildView() {
  setPlainText(lines().join(QLatin1Char('\n')));
}

void LineMemo::adoptTypedText() {
  m_lines.clear();
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
    m_lines << b.text();
  m_firstId = m_nextId;
  m_nextId += quint64(m_lines.size());
  m_viewFirstId = m_firstId;
  m_viewCount = int(m_lines.size());
}

bool LineMemo::saveToFile(const QString &path, QString *error) {
  QByteArray bytes;
  for (const QString &l : std::as_const(m_lines))
    bytes += oneLine(l).toUtf8() + '\n';
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error)
      *error = file.errorString();
    return false;
  }
  return true;
}
