#include "platform/RegExportFormat.h"

#include <QStringDecoder>

namespace {

const QLatin1String kHeader5("Windows Registry Editor Version 5.00");
const QLatin1String kHeader4("REGEDIT4");

bool decode(const QByteArray &bytes, QString &text, QString &error) {
  if (bytes.startsWith("\xFF\xFE")) {
    if ((bytes.size() % 2) != 0) {
      error = QStringLiteral("UTF-16 text with an odd number of bytes");
      return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
    text = decoder(bytes.mid(2));
    if (decoder.hasError()) {
      error = QStringLiteral("invalid UTF-16 text");
      return false;
    }
    return true;
  }
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  text = decoder(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
  if (decoder.hasError()) {
    error = QStringLiteral("invalid UTF-8 text");
    return false;
  }
  return true;
}

// Reads a quoted string starting at pos (at the opening quote); pos ends after the closing quote.
bool readQuoted(const QString &line, qsizetype &pos, QString &out) {
  if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
    return false;
  out.clear();
  for (++pos; pos < line.size(); ++pos) {
    const QChar c = line.at(pos);
    if (c == QLatin1Char('\\')) {
      if (++pos >= line.size())
        return false;
      out += line.at(pos);
    } else if (c == QLatin1Char('"')) {
      ++pos;
      return true;
    } else {
      out += c;
    }
  }
  return false;
}

bool parseHexBytes(const QString &text, QByteArray &out) {
  out.clear();
  const QString compact = text.simplified().remove(QLatin1Char(' '));
  if (compact.isEmpty())
    return true;
  for (const QString &pair : compact.split(QLatin1Char(','))) {
    bool ok = false;
    const uint b = pair.toUInt(&ok, 16);
    if (!ok || pair.size() > 2)
      return false;
    out.append(char(b));
  }
  return true;
}

bool parseData(const QString &data, RegValue &value) {
  if (data.startsWith(QLatin1Char('"'))) {
    qsizetype pos = 0;
    QString s;
    if (!readQuoted(data, pos, s) || !data.mid(pos).trimmed().isEmpty())
      return false;
    value = RegValue::fromString(s);
    return true;
  }
  if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
    const QString digits = data.mid(6).trimmed();
    bool ok = false;
    const uint v = digits.toUInt(&ok, 16);
    if (!ok || digits.size() > 8)
      return false;
    value = RegValue::fromDword(v);
    return true;
  }
  if (data.startsWith(QLatin1String("hex:"), Qt::CaseInsensitive)) {
    QByteArray bytes;
    if (!parseHexBytes(data.mid(4), bytes))
      return false;
    value = RegValue::fromBinary(bytes);
    return true;
  }
  if (data.startsWith(QLatin1String("hex("), Qt::CaseInsensitive)) {
    const qsizetype close = data.indexOf(QLatin1String("):"));
    bool ok = false;
    const int type = close > 4 ? data.mid(4, close - 4).toInt(&ok, 16) : -1;
    QByteArray bytes;
    if (!ok || type < 0 || !parseHexBytes(data.mid(close + 2), bytes))
      return false;
    if (type == 1 && bytes.size() % 2 == 0) {
      // A string that cannot stand between quotes (a line break in it) is kept as REG_SZ in hex.
      QString s = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()), bytes.size() / 2);
      if (s.endsWith(QChar(0)))
        s.chop(1);
      value = RegValue::fromString(s);
      return true;
    }
    value = RegValue();
    value.type = RegValue::Type::Other;
    value.rawType = type;
    value.data = bytes;
    return true;
  }
  return false;
}

QString hexList(const QByteArray &bytes, qsizetype prefixLength) {
  // Wrapped like regedit: lines of about 80 characters, continued with a backslash.
  QString out;
  qsizetype column = prefixLength;
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const QString item = QStringLiteral("%1").arg(quint8(bytes.at(i)), 2, 16, QLatin1Char('0'));
    out += item;
    column += 2;
    if (i + 1 < bytes.size()) {
      out += QLatin1Char(',');
      ++column;
      if (column > 76) {
        out += QStringLiteral("\\\r\n  ");
        column = 2;
      }
    }
  }
  return out;
}

QString quoted(const QString &s) {
  QString out = s;
  out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
  out.replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QLatin1Char('"') + out + QLatin1Char('"');
}

} // namespace

bool RegExportFormat::parse(const QByteArray &bytes, RegModel &model, QString &error) {
  model = RegModel();
  QString text;
  if (!decode(bytes, text, error))
    return false;
  if (text.trimmed().isEmpty())
    return true;

  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString &l : lines)
    if (l.endsWith(QLatin1Char('\r')))
      l.chop(1);

  int lineNo = 0;
  bool headerSeen = false;
  RegKey *current = nullptr;
  auto fail = [&](const QString &why) {
    error = QStringLiteral("line %1: %2").arg(lineNo).arg(why);
    return false;
  };
  for (qsizetype i = 0; i < lines.size(); ++i) {
    lineNo = int(i + 1);
    QString line = lines.at(i).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
      continue;
    if (!headerSeen) {
      if (line != kHeader5 && line != kHeader4)
        return fail(QStringLiteral("the first line is not \"%1\"").arg(kHeader5));
      headerSeen = true;
      continue;
    }
    if (line.startsWith(QLatin1Char('['))) {
      if (!line.endsWith(QLatin1Char(']')) || line.size() < 3)
        return fail(QStringLiteral("a key line without its closing bracket"));
      const QString path = line.mid(1, line.size() - 2).trimmed();
      if (path.startsWith(QLatin1Char('-')))
        return fail(QStringLiteral("key deletions are not settings"));
      model.keys.append(RegKey{path, {}});
      current = &model.keys.last();
      continue;
    }
    // Hex data continues on the next lines while a line ends with a backslash.
    while (line.endsWith(QLatin1Char('\\')) && i + 1 < lines.size())
      line = line.left(line.size() - 1) + lines.at(++i).trimmed();
    if (!current)
      return fail(QStringLiteral("a value outside any key"));
    RegEntry entry;
    qsizetype pos = 0;
    if (line.startsWith(QLatin1Char('@'))) {
      pos = 1;
    } else if (!readQuoted(line, pos, entry.name)) {
      return fail(QStringLiteral("a value name without its closing quote"));
    }
    if (pos >= line.size() || line.at(pos) != QLatin1Char('='))
      return fail(QStringLiteral("a value without \"=\""));
    if (!parseData(line.mid(pos + 1).trimmed(), entry.value))
      return fail(QStringLiteral("the data of value \"%1\" cannot be read").arg(entry.name));
    current->entries.append(entry);
  }
  if (!headerSeen)
    return fail(QStringLiteral("no header"));
  return true;
}

QByteArray RegExportFormat::serialize(const RegModel &model) {
  QString out = kHeader5 + QStringLiteral("\r\n\r\n");
  for (const RegKey &key : model.keys) {
    out += QLatin1Char('[') + key.path + QStringLiteral("]\r\n");
    for (const RegEntry &e : key.entries) {
      const QString name = e.name.isEmpty() ? QStringLiteral("@") : quoted(e.name);
      QString data;
      switch (e.value.type) {
      case RegValue::Type::String:
        if (e.value.string.contains(QLatin1Char('\n')) || e.value.string.contains(QLatin1Char('\r')) ||
            e.value.string.contains(QChar(0))) {
          QByteArray utf16(reinterpret_cast<const char *>(e.value.string.utf16()), e.value.string.size() * 2);
          utf16.append(2, '\0');
          data = QStringLiteral("hex(1):") + hexList(utf16, name.size() + 8);
        } else {
          data = quoted(e.value.string);
        }
        break;
      case RegValue::Type::Dword:
        data = QStringLiteral("dword:%1").arg(e.value.dword, 8, 16, QLatin1Char('0'));
        break;
      case RegValue::Type::Binary:
        data = QStringLiteral("hex:") + hexList(e.value.data, name.size() + 5);
        break;
      case RegValue::Type::Other: {
        const QString prefix = QStringLiteral("hex(%1):").arg(e.value.rawType, 0, 16);
        data = prefix + hexList(e.value.data, name.size() + 1 + prefix.size());
        break;
      }
      }
      out += name + QLatin1Char('=') + data + QStringLiteral("\r\n");
    }
    out += QStringLiteral("\r\n");
  }
  return out.toUtf8();
}
