#pragma once

#include "platform/SettingsFile.h"

#include <QStringList>
#include <QStringView>

// The data of one value line of a registry export: reading it and writing it.
namespace RegExportData {

// Text in the ANSI code page of REGEDIT4 files (Windows-1252).
QString fromAnsi(QByteArrayView bytes);

// A quoted string starting at pos (at the opening quote); pos ends after the closing quote. Only
// \\ and \" are escapes: any other backslash makes the string unreadable.
bool readQuoted(QStringView line, qsizetype &pos, QString &out);
QString quoted(const QString &text);

// The name and data of the value that starts at lines[first]. Hex data continues on the next lines
// while a line ends with a backslash; blank and comment lines between them are skipped, and the
// data ends with the file or where the next key or value starts; a backslash continues it only
// after a comma. last is the index of the value's last line.
struct Parsed {
  QString name;
  RegValue value;
  QString comment;      // ";..." after the data, with the blanks before it
  bool ansi = false;    // string data in the ANSI code page: its text cannot be written back as is
  bool open = false;    // hex data whose last line ends with a backslash that nothing continues
  bool deletes = false; // "name"=-: no data, the value is deleted
  qsizetype last = 0;
};
bool parseValue(const QStringList &lines, qsizetype first, bool ansiFile, Parsed &out);

// "name"=data as a Unicode export writes it, lines joined with '\n'.
QString render(const QString &name, const RegValue &value);

bool isComment(QStringView trimmedLine);

} // namespace RegExportData
