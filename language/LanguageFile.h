#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The language file's format: UTF-8 text (a byte-order mark is skipped), lines ending in CR LF,
// LF or CR, "[section]" headers and "key=text" entries. Lines are trimmed of everything up to and
// including the space; empty lines and lines starting with ";" are ignored, and so is anything
// before the first section.
class LanguageFile {
public:
  struct Entry {
    QString key; // before the first "="; empty for a line without "="
    QString text;
  };
  struct Section {
    QString name;
    QList<Entry> entries;
  };

  static LanguageFile parse(const QByteArray &bytes);

  // The first section of that name, compared without regard to case; nullptr when there is none.
  const Section *section(const QString &name) const;

  QList<Section> sections;

  // Trims characters up to and including the space (code 32) from both ends.
  static QString trimmed(QStringView text);
};
