#pragma once

#include "platform/SettingsFile.h"

#include <QList>

// One item of a key's body in file order: a value, a value's deletion ("name"=-), or a line kept as
// the user wrote it (a comment, a blank line, a line the program does not understand).
struct RegItem {
  bool isValue = false;
  bool deletes = false; // "name"=-: the key's value of that name is deleted here; text is the line
  QString name;         // empty: the key's default value (@)
  RegValue value;
  // The item's lines as the file has them, joined with '\n'; written back unchanged. Empty for a
  // value that is new or changed: it is then written from name and value.
  QString text;
  QString comment;   // ";..." after a value, kept when the value changes
  bool open = false; // hex data ending in a backslash: it would run on into a line moved up to it
};

struct RegSection {
  // "HKEY_CURRENT_USER\SOFTWARE\..." without empty parts; empty when the key line is not understood,
  // and then every line of the section is kept as it is and none is read.
  QString path;
  // [-KEY]: the key that the line deletes with everything below it. Its path is empty, so the lines up
  // to the next key line are kept and not read.
  QString deletes;
  QString line; // the key line as written; empty for a new section
  QList<RegItem> items;
};

// A registry export as text: every line of the file is kept in its place, so a rewrite changes only
// the values that were changed. What it holds is what an import of its lines in file order would
// leave: a key may have several sections and its values are those of all of them, of a name given
// twice the last one counts, and a value deletion or a key deletion takes away what came before it.
struct RegModel {
  QStringList head;    // the lines before the first key line, the header line among them
  int headerLine = -1; // its index in head; -1 for a new file
  QString newline = QStringLiteral("\r\n");
  QList<RegSection> sections;

  const RegValue *find(const QString &path, const QString &name) const;
  // False when the value was already so. A value that a deletion line took away is written after it.
  bool set(const QString &path, const QString &name, const RegValue &value);
  // False when there was no such value.
  bool remove(const QString &path, const QString &name);
  bool hasKey(const QString &path) const;
  void addSection(const QString &path);
  QStringList valueNames(const QString &path) const;
  QStringList paths() const; // every key, once, in file order; a key's parents are keys too

  struct Value {
    QString path, name;
    RegValue value;
    bool operator==(const Value &) const = default;
  };
  // What an import would leave: one value per key and name.
  QList<Value> values() const;
};

// The text format of a Windows registry export ("Windows Registry Editor Version 5.00").
namespace RegExportFormat {
// Reads UTF-8 (with or without byte-order mark), UTF-16LE with byte-order mark, and REGEDIT4 files
// in the ANSI code page (Windows-1252). An empty file is an empty model. A line that is not
// understood is kept and skipped. False with a reason (and its line) when the text is not a
// registry export at all, or is cut off.
bool parse(const QByteArray &bytes, RegModel &model, QString &error);
// Text as "Windows Registry Editor Version 5.00" in UTF-8, or in UTF-16LE with a byte-order mark
// when the text holds what UTF-8 cannot (a lone surrogate from a UTF-16 file); lines end as in the
// file that was read (CR LF, as regedit writes them, for a new file).
QByteArray serialize(const RegModel &model);
} // namespace RegExportFormat
