#pragma once

#include <QPlainTextEdit>
#include <QStringList>

// A multi-line text view whose text is a list of lines: lines are added at the end, removed from
// the front, cleared and saved. Unlike a bare QPlainTextEdit it can hold no line at all, which is
// how a cleared log differs from a log that holds one empty line.
//
// The lines are kept apart from the text view: laying out text is what costs, so the view takes
// the changes only while it is visible, in one batch a few times a second, and a hidden log costs
// a list append per line. Control characters become pictures only where a line is shown or read,
// since a talking gateway's lines hold line breaks and are mostly never looked at.
class ClockTimer;

class LineMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit LineMemo(QWidget *parent = nullptr);

  int lineCount() const { return int(m_lines.size()); }
  // The lines as shown: characters that would break a line read as their control pictures.
  QString line(int index) const;
  QStringList lines() const;

  // Adds the text as one new last line.
  void addLine(const QString &text);
  void deleteFirstLine();
  void clearLines();
  // Puts the caret on a line (0-based) and column (0-based) and scrolls it into view.
  void setCaret(int line, int column);
  int caretLine() const { return m_caretLine; }
  int caretColumn() const { return m_caretColumn; }

  // Writes every line, each ended by a line break, as UTF-8; replaces the file atomically.
  bool saveToFile(const QString &path, QString *error);

protected:
  void showEvent(QShowEvent *event) override;

private:
  void changed();
  void syncView();
  void rebuildView();
  void adoptTypedText();

  QStringList m_lines;
  // Lines are numbered as they come, so the view knows which of them it shows: the model holds
  // m_firstId .. m_firstId + size - 1, the view m_viewFirstId .. m_viewFirstId + m_viewCount - 1.
  quint64 m_firstId = 0;
  quint64 m_nextId = 1;
  quint64 m_viewFirstId = 0;
  int m_viewCount = 1;
  int m_caretLine = 0;
  int m_caretColumn = 0;
  bool m_syncing = false;
  ClockTimer *m_sync;
};
