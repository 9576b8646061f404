#include "platform/RegExportFormatData.h"

#include <cstring>
#include <optional>

namespace {

// Windows-1252 differs from Latin-1 in 0x80..0x9f; its five unused codes map to the C1 controls,
// as Windows converts them.
const char16_t kAnsiHigh[32] = {0x20ac, 0x0081, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
                                0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008d, 0x017d, 0x008f,
                                0x0090, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
                                0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0x009d, 0x017e, 0x0178};

int hexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= u'0' && u <= u'9')
    return u - u'0';
  if (u >= u'a' && u <= u'f')
    return u - u'a' + 10;
  if (u >= u'A' && u <= u'F')
    return u - u'A' + 10;
  return -1;
}

// 1 to maxDigits hexadecimal digits and nothing else.
std::optional<quint32> hexNumber(QStringView digits, qsizetype maxDigits) {
  if (digits.isEmpty() || digits.size() > maxDigits)
    return std::nullopt;
  quint32 v = 0;
  for (QChar c : digits) {
    const int d = hexDigit(c);
    if (d < 0)
      return std::nullopt;
    v = (v << 4) | quint32(d);
  }
  return v;
}

void skipBlanks(QStringView line, qsizetype &pos) {
  while (pos < line.size() && line.at(pos).isSpace())
    ++pos;
}

// Splits "data ;comment" into the data and the comment with the blanks before it.
QStringView withoutComment(QStringView s, QString &comment) {
  const qsizetype at = s.indexOf(u';');
  if (at < 0) {
    comment.clear();
    return s;
  }
  qsizetype end = at;
  while (end > 0 && s.at(end - 1).isSpace())
    --end;
  comment = s.mid(end).toString();
  return s.left(end);
}

bool isBlankOrComment(const QString &line) {
  const QStringView t = QStringView(line).trimmed();
  return t.isEmpty() || RegExportData::isComment(t);
}

bool startsAnEntry(const QString &line) {
  const QStringView t = QStringView(line).trimmed();
  return t.startsWith(u'"') || t.startsWith(u'@') || t.startsWith(u'[');
}

// "01,02,ff" (a trailing comma allowed) appended to bytes.
bool appendHexBytes(QStringView list, QByteArray &bytes) {
  if (list.isEmpty())
    return true;
  const QList<QStringView> parts = list.split(u',');
  for (qsizetype k = 0; k < parts.size(); ++k) {
    const QStringView item = parts.at(k).trimmed();
    if (item.isEmpty() && k + 1 == parts.size())
      break;
    const std::optional<quint32> b = hexNumber(item, 2);
    if (!b)
      return false;
    bytes.append(char(*b));
  }
  return true;
}

// The bytes of a hex list that starts in lines[first] with payload, over its continuation lines.
// Each line is looked at once, so a long value costs time in proportion to its length.
bool readHexList(const QStringList &lines, qsizetype first, QStringView payload, QByteArray &bytes,
                 RegExportData::Parsed &out) {
  qsizetype i = first;
  QStringView segment = payload;
  for (;;) {
    QStringView data = withoutComment(segment, out.comment).trimmed();
    const bool continued = data.endsWith(u'\\');
    if (continued)
      data = data.chopped(1).trimmed();
    // After a digit the backslash would join two halves of a byte, or two bytes without a comma; an
    // import drops such a value, so it is a line not understood.
    if (continued && !data.isEmpty() && !data.endsWith(u','))
      return false;
    if (!appendHexBytes(data, bytes))
      return false;
    out.last = i;
    if (!continued)
      return true;
    qsizetype next = i + 1;
    while (next < lines.size() && isBlankOrComment(lines.at(next)))
      ++next;
    // The file ends after ",\", or the next key or value follows: the data ends here.
    if (next >= lines.size() || startsAnEntry(lines.at(next))) {
      out.open = true;
      return true;
    }
    i = next;
    segment = QStringView(lines.at(i)).trimmed();
  }
}

QByteArray utf16Bytes(const QString &s) {
  return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
}

// Kept as UTF-16 units as they are: no byte-order mark is taken away, no lone surrogate replaced.
QString fromUtf16Bytes(const QByteArray &bytes) {
  QString s(bytes.size() / 2, Qt::Uninitialized);
  std::memcpy(s.data(), bytes.constData(), size_t(s.size()) * 2);
  return s;
}

QString withoutFinalNul(QString s) {
  if (s.endsWith(QChar(0)))
    s.chop(1);
  return s;
}

// hex: and hex(n): data as a value. String types in a REGEDIT4 file are ANSI; the registry keeps
// them in UTF-16, as a Unicode export writes them.
RegValue hexValue(std::optional<quint32> type, const QByteArray &bytes, bool ansiFile, bool &ansi) {
  if (!type)
    return RegValue::fromBinary(bytes);
  ansi = ansiFile && (*type == 1 || *type == 2 || *type == 7);
  if (*type == 1 && (ansi || bytes.size() % 2 == 0))
    return RegValue::fromString(
        withoutFinalNul(ansi ? RegExportData::fromAnsi(bytes) : fromUtf16Bytes(bytes)));
  RegValue v;
  v.type = RegValue::Type::Other;
  v.rawType = *type;
  v.data = ansi ? utf16Bytes(RegExportData::fromAnsi(bytes)) : bytes;
  return v;
}

// "hex:" (nullopt) or "hex(n):"; at is set after the colon.
bool hexType(QStringView data, std::optional<quint32> &type, qsizetype &at) {
  if (data.startsWith(u"hex:", Qt::CaseInsensitive)) {
    type.reset();
    at = 4;
    return true;
  }
  if (!data.startsWith(u"hex(", Qt::CaseInsensitive))
    return false;
  const qsizetype close = data.indexOf(u"):");
  if (close < 0)
    return false;
  type = hexNumber(data.mid(4, close - 4), 8);
  at = close + 2;
  return type.has_value();
}

bool parseString(QStringView data, RegExportData::Parsed &out) {
  qsizetype pos = 0;
  QString text;
  if (!RegExportData::readQuoted(data, pos, text))
    return false;
  const QStringView rest = data.mid(pos);
  if (!withoutComment(rest, out.comment).trimmed().isEmpty())
    return false;
  out.value = RegValue::fromString(text);
  return true;
}

// "-", with blanks and a comment after it: the value is deleted.
bool parseDeletion(QStringView data, RegExportData::Parsed &out) {
  out.deletes = withoutComment(data.mid(1), out.comment).trimmed().isEmpty();
  return out.deletes;
}

bool parseDword(QStringView data, RegExportData::Parsed &out) {
  const std::optional<quint32> v = hexNumber(withoutComment(data, out.comment).trimmed(), 8);
  if (v)
    out.value = RegValue::fromDword(*v);
  return v.has_value();
}

QString hexList(const QByteArray &bytes, qsizetype prefixLength) {
  // Wrapped like regedit: lines of about 80 characters, continued with a backslash.
  static const char digits[] = "0123456789abcdef";
  QString out;
  out.reserve(bytes.size() * 3 + bytes.size() / 25 * 4);
  qsizetype column = prefixLength;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const quint8 b = quint8(bytes.at(i));
    out += QLatin1Char(digits[b >> 4]);
    out += QLatin1Char(digits[b & 0xf]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out += QLatin1Char(',');
      ++column;
      if (column > 76) {
        out += QStringLiteral("\\\n  ");
        column = 2;
      }
    }
  }
  return out;
}

// Whether a string reads back the same between quotes in a UTF-8 file.
bool quotable(const QString &s) {
  for (QChar c : s)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0 || c.unicode() == 0xfeff)
      return false;
  return QStringView(s).isValidUtf16();
}

} // namespace

QString RegExportData::fromAnsi(QByteArrayView bytes) {
  QString s(bytes.size(), Qt::Uninitialized);
  QChar *out = s.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const quint8 b = quint8(bytes.at(i));
    out[i] = QChar(b >= 0x80 && b < 0xa0 ? kAnsiHigh[b - 0x80] : char16_t(b));
  }
  return s;
}

bool RegExportData::readQuoted(QStringView line, qsizetype &pos, QString &out) {
  if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
    return false;
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    QChar c = line.at(pos);
    if (c == QLatin1Char('"')) {
      ++pos;
      return true;
    }
    if (c == QLatin1Char('\\')) {
      if (++pos >= line.size())
        return false;
      c = line.at(pos);
      if (c != QLatin1Char('\\') && c != QLatin1Char('"'))
        return false;
    }
    out += c;
  }
  return false;
}

QString RegExportData::quoted(const QString &text) {
  QString out = text;
  out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  out.replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + out + QLatin1Char('"');
}

bool RegExportData::isComment(QStringView trimmedLine) {
  return trimmedLine.startsWith(u';') || trimmedLine.startsWith(u'#');
}

bool RegExportData::parseValue(const QStringList &lines, qsizetype first, bool ansiFile, Parsed &out) {
  out = Parsed();
  out.last = first;
  const QStringView line = QStringView(lines.at(first)).trimmed();
  qsizetype pos = 0;
  if (line.startsWith(u'@'))
    pos = 1;
  else if (!readQuoted(line, pos, out.name))
    return false;
  skipBlanks(line, pos);
  if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
    return false;
  ++pos;
  skipBlanks(line, pos);
  const QStringView data = line.mid(pos);
  if (data.startsWith(u'"'))
    return parseString(data, out);
  if (data.startsWith(u'-'))
    return parseDeletion(data, out);
  if (data.startsWith(u"dword:", Qt::CaseInsensitive))
    return parseDword(data.mid(6), out);
  std::optional<quint32> type;
  qsizetype at = 0;
  QByteArray bytes;
  if (!hexType(data, type, at) || !readHexList(lines, first, data.mid(at), bytes, out))
    return false;
  out.value = hexValue(type, bytes, ansiFile, out.ansi);
  return true;
}

QString RegExportData::render(const QString &name, const RegValue &value) {
  const QString lead = (name.isEmpty() ? QStringLiteral("@") : quoted(name)) + QLatin1Char('=');
  switch (value.type) {
  case RegValue::Type::String:
    if (quotable(value.string))
      return lead + quoted(value.string);
    return lead + QStringLiteral("hex(1):") +
           hexList(utf16Bytes(value.string) + QByteArray(2, '\0'), lead.size() + 7);
  case RegValue::Type::Dword:
    return lead + QStringLiteral("dword:%1").arg(value.dword, 8, 16, QLatin1Char('0'));
  case RegValue::Type::Binary:
    return lead + QStringLiteral("hex:") + hexList(value.data, lead.size() + 4);
  case RegValue::Type::Other:
    break;
  }
  const QString prefix = QStringLiteral("hex(%1):").arg(value.rawType, 0, 16);
  return lead + prefix + hexList(value.data, lead.size() + prefix.size());
}
