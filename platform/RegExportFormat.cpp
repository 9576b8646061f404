#include "platform/RegExportFormat.h"

#include "platform/RegExportFormatData.h"

#include <QStringDecoder>

#include <cstring>

namespace {

const QLatin1String kHeader5("Windows Registry Editor Version 5.00");
const QLatin1String kHeader4("REGEDIT4");
const char *const kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
                              "HKEY_CURRENT_CONFIG"};

bool isBlankOrComment(QByteArrayView trimmed) {
  return trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#');
}

// A REGEDIT4 file is in the ANSI code page. Its header is ASCII, so it can be found in the bytes.
bool isAnsiFile(const QByteArray &bytes) {
  if (bytes.startsWith("\xEF\xBB\xBF"))
    return false;
  for (QByteArrayView rest = bytes; !rest.isEmpty();) {
    const qsizetype end = rest.indexOf('\n');
    const QByteArrayView line = (end < 0 ? rest : rest.first(end)).trimmed();
    if (!isBlankOrComment(line))
      return line == QByteArrayView("REGEDIT4");
    rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
  }
  return false;
}

bool decode(const QByteArray &bytes, QString &text, bool &ansi, QString &error) {
  ansi = false;
  if (bytes.startsWith("\xFF\xFE")) {
    if ((bytes.size() % 2) != 0) {
      error = QStringLiteral("UTF-16 text with an odd number of bytes");
      return false;
    }
    // Taken unit by unit: a lone surrogate in a value stays what it was.
    text = QString((bytes.size() - 2) / 2, Qt::Uninitialized);
    std::memcpy(text.data(), bytes.constData() + 2, size_t(text.size()) * 2);
    return true;
  }
  if (isAnsiFile(bytes)) {
    ansi = true;
    text = RegExportData::fromAnsi(bytes);
    return true;
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  text = decoder(bytes);
  if (decoder.hasError()) {
    error = QStringLiteral("invalid UTF-8 text");
    return false;
  }
  return true;
}

QStringList splitLines(const QString &text) {
  QStringList lines = text.split(QLatin1Char('\n'));
  if (text.endsWith(QLatin1Char('\n')))
    lines.removeLast();
  for (QString &l : lines)
    if (l.endsWith(QLatin1Char('\r')))
      l.chop(1);
  return lines;
}

QString newlineOf(const QString &text) {
  const qsizetype at = text.indexOf(QLatin1Char('\n'));
  return at >= 0 && (at == 0 || text.at(at - 1) != QLatin1Char('\r')) ? QStringLiteral("\n")
                                                                      : QStringLiteral("\r\n");
}

// "HKEY_CURRENT_USER\SOFTWARE\\Quarnel\" -> "HKEY_CURRENT_USER\SOFTWARE\Quarnel"; empty when the
// text does not name a key below one of the roots.
QString keyPath(QStringView inner) {
  const QList<QStringView> parts = inner.split(u'\\', Qt::SkipEmptyParts);
  if (parts.isEmpty())
    return {};
  bool knownRoot = false;
  for (const char *root : kRoots)
    knownRoot = knownRoot || parts.first().compare(QLatin1String(root), Qt::CaseInsensitive) == 0;
  if (!knownRoot)
    return {};
  QString path;
  for (QStringView p : parts)
    path += (path.isEmpty() ? QString() : QStringLiteral("\\")) + p.toString();
  return path;
}

// The section that a key line starts. "[-KEY]" deletes the key; a root is never deleted, so a
// deletion of one is a line not understood.
RegSection sectionOf(const QString &line, QStringView inner) {
  RegSection section;
  section.line = line;
  if (!inner.startsWith(u'-'))
    section.path = keyPath(inner);
  else if (const QString deleted = keyPath(inner.mid(1)); deleted.contains(QLatin1Char('\\')))
    section.deletes = deleted;
  return section;
}

class Parser {
public:
  Parser(const QStringList &lines, bool ansi, bool endsWithNewline, RegModel &model)
      : m_lines(lines), m_ansi(ansi), m_endsWithNewline(endsWithNewline), m_model(model) {}

  bool run(QString &error) {
    m_error = &error;
    qsizetype i = 0;
    if (!readHead(i))
      return false;
    while (i < m_lines.size())
      if (!readLine(i))
        return false;
    return true;
  }

private:
  bool fail(qsizetype i, const QString &why) {
    *m_error = QStringLiteral("line %1: %2").arg(i + 1).arg(why);
    return false;
  }

  // Everything up to the first key line: the header and the lines around it.
  bool readHead(qsizetype &i) {
    for (; i < m_lines.size(); ++i) {
      const QStringView t = QStringView(m_lines.at(i)).trimmed();
      if (m_model.headerLine >= 0 && t.startsWith(u'['))
        return true;
      if (m_model.headerLine >= 0 && (t.startsWith(u'"') || t.startsWith(u'@')))
        return fail(i, QStringLiteral("a value outside any key"));
      m_model.head << m_lines.at(i);
      if (m_model.headerLine >= 0 || t.isEmpty() || RegExportData::isComment(t))
        continue;
      if (t != kHeader5 && t != kHeader4)
        return fail(i, QStringLiteral("the first line is not \"%1\"").arg(kHeader5));
      m_model.headerLine = int(m_model.head.size() - 1);
    }
    return m_model.headerLine >= 0 || fail(i, QStringLiteral("no header"));
  }

  // A line that is not understood is kept, unless it is the last one and unfinished: then the file
  // was cut off, and writing it back would make the damage permanent.
  bool notUnderstood(qsizetype i) {
    if (i + 1 == m_lines.size() && !m_endsWithNewline)
      return fail(i, QStringLiteral("the file ends in the middle of this line"));
    return true;
  }

  bool readLine(qsizetype &i) {
    const QString &raw = m_lines.at(i);
    const QStringView t = QStringView(raw).trimmed();
    if (t.startsWith(u'[')) {
      const bool closed = t.size() >= 2 && t.endsWith(u']');
      if (!closed && !notUnderstood(i))
        return false;
      m_model.sections.append(sectionOf(raw, closed ? t.mid(1, t.size() - 2) : QStringView()));
      ++i;
      return true;
    }
    RegSection &section = m_model.sections.last();
    RegItem item;
    RegExportData::Parsed value;
    if (t.isEmpty() || RegExportData::isComment(t)) {
      item.text = raw;
      ++i;
    } else if ((t.startsWith(u'"') || t.startsWith(u'@')) &&
               RegExportData::parseValue(m_lines, i, m_ansi, value)) {
      item.text = m_lines.mid(i, value.last - i + 1).join(QLatin1Char('\n'));
      if (!section.path.isEmpty())
        take(value, item);
      i = value.last + 1;
    } else {
      if (!notUnderstood(i))
        return false;
      item.text = raw;
      ++i;
    }
    section.items.append(item);
    return true;
  }

  static void take(const RegExportData::Parsed &value, RegItem &item) {
    item.name = value.name;
    if (value.deletes) {
      item.deletes = true;
      return;
    }
    item.isValue = true;
    item.value = value.value;
    item.comment = value.comment;
    item.open = value.open;
    // ANSI string data has to be written anew as a Unicode export has it.
    if (value.ansi)
      item.text.clear();
  }

  const QStringList &m_lines;
  const bool m_ansi;
  const bool m_endsWithNewline;
  RegModel &m_model;
  QString *m_error = nullptr;
};

void putLines(QString &out, const QString &text, const QString &newline) {
  if (newline != QLatin1String("\n") && text.contains(QLatin1Char('\n')))
    out += QString(text).replace(QLatin1Char('\n'), newline);
  else
    out += text;
  out += newline;
}

} // namespace

bool RegExportFormat::parse(const QByteArray &bytes, RegModel &model, QString &error) {
  model = RegModel();
  QString text;
  bool ansi = false;
  if (!decode(bytes, text, ansi, error))
    return false;
  if (text.trimmed().isEmpty())
    return true;
  model.newline = newlineOf(text);
  const bool endsWithNewline = text.endsWith(QLatin1Char('\n'));
  return Parser(splitLines(text), ansi, endsWithNewline, model).run(error);
}

QByteArray RegExportFormat::serialize(const RegModel &model) {
  QString out;
  const QString &nl = model.newline;
  if (model.headerLine < 0) {
    putLines(out, kHeader5, nl);
    putLines(out, QString(), nl);
  }
  for (qsizetype k = 0; k < model.head.size(); ++k)
    putLines(out, k == model.headerLine ? QString(kHeader5) : model.head.at(k), nl);
  for (const RegSection &section : model.sections) {
    putLines(out, section.line.isEmpty() ? QLatin1Char('[') + section.path + QLatin1Char(']') : section.line,
             nl);
    for (const RegItem &item : section.items) {
      if (item.isValue && item.text.isEmpty())
        putLines(out, RegExportData::render(item.name, item.value) + item.comment, nl);
      else
        putLines(out, item.text, nl);
    }
  }
  if (QStringView(out).isValidUtf16())
    return out.toUtf8();
  // Only a file read as UTF-16 can hold a lone surrogate (in a key, a name or a line of its own).
  // UTF-8 cannot carry it, so such a file goes back as Windows writes it: UTF-16LE with its mark.
  QByteArray utf16("\xFF\xFE");
  utf16.append(reinterpret_cast<const char *>(out.utf16()), out.size() * 2);
  return utf16;
}
