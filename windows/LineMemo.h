#pragma once

#include <QPlainTextEdit>

// A multi-line text view whose text is a list of lines: lines are added at the end, removed from
// the front, cleared and saved. Unlike a bare QPlainTextEdit it can hold no line at all, which is
// how a cleared log differs from a log that holds one empty line.
class LineMemo : public QPlainTextEdit {
  Q_OBJECT
public:
  explicit LineMemo(QWidget *parent = nullptr);

  int lineCount() const;
  QString line(int index) const;
  QStringList lines() const;

  // Adds the text as one new last line; characters that would break the line are shown as
  // their control pictures.
  void addLine(const QString &text);
  void deleteFirstLine();
  void clearLines();
  // Puts the caret on a line (0-based) and column (0-based) and scrolls it into view.
  void setCaret(int line, int column);

  // Writes every line, each ended by a line break, as UTF-8; replaces the file atomically.
  bool saveToFile(const QString &path, QString *error);

private:
  bool m_noLines = false;
};
