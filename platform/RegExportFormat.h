#pragma once

#include "platform/SettingsFile.h"

#include <QList>

struct RegEntry {
  QString name; // empty: the key's default value (@)
  RegValue value;
};

struct RegKey {
  QString path; // full path with its root, as in the file: HKEY_CURRENT_USER\SOFTWARE\...
  QList<RegEntry> entries;
};

struct RegModel {
  QList<RegKey> keys; // in file order
};

// The text format of a Windows registry export ("Windows Registry Editor Version 5.00").
namespace RegExportFormat {
// Reads UTF-8 (with or without byte-order mark) and UTF-16LE with byte-order mark. An empty file
// is an empty model. False with a reason (and its line) when the text is not in the format.
bool parse(const QByteArray &bytes, RegModel &model, QString &error);
// UTF-8 text, CR LF line ends as regedit writes them.
QByteArray serialize(const RegModel &model);
} // namespace RegExportFormat
