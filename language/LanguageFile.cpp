#include "language/LanguageFile.h"

#include <QStringDecoder>

QString LanguageFile::trimmed(QStringView text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text.at(begin).unicode() <= 32)
    ++begin;
  while (end > begin && text.at(end - 1).unicode() <= 32)
    --end;
  return text.mid(begin, end - begin).toString();
}

LanguageFile LanguageFile::parse(const QByteArray &bytes) {
  // Invalid sequences become replacement characters; they never stop the parse.
  QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  const QString text = decoder.decode(bytes);

  LanguageFile file;
  qsizetype current = -1; // index of the open section
  const QStringView all(text);
  qsizetype pos = 0;
  while (pos < all.size()) {
    qsizetype end = pos;
    while (end < all.size() && all.at(end) != u'\r' && all.at(end) != u'\n')
      ++end;
    const QString line = trimmed(all.mid(pos, end - pos));
    pos = end + 1;
    if (end < all.size() && all.at(end) == u'\r' && pos < all.size() && all.at(pos) == u'\n')
      ++pos;

    if (line.isEmpty() || line.startsWith(u';'))
      continue;
    if (line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']')) {
      file.sections.append(Section{trimmed(QStringView(line).mid(1, line.size() - 2)), {}});
      current = file.sections.size() - 1;
      continue;
    }
    if (current < 0)
      continue;
    QList<Entry> &entries = file.sections[current].entries;
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
      entries.append(Entry{QString(), line});
    else
      entries.append(Entry{trimmed(QStringView(line).left(eq)), trimmed(QStringView(line).mid(eq + 1))});
  }
  return file;
}

const LanguageFile::Section *LanguageFile::section(const QString &name) const {
  for (const Section &s : sections)
    if (s.name.compare(name, Qt::CaseInsensitive) == 0)
      return &s;
  return nullptr;
}
