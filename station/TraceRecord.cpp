#include "station/TraceRecord.h"

#include "platform/RecordFile.h"
#include "platform/Workstation.h"

#include <BuildInfo.h>

#include <QCryptographicHash>
#include <QFile>
#include <QHash>

#include <optional>

namespace {
const QStringList kColumns{"started_utc", "seconds",   "computer",  "user",   "program",      "version",
                           "port",        "adapter",   "interface", "script", "script_bytes", "script_sha256",
                           "bytes_sent",  "exit_code", "reason",    "result"};

const QString kWritten = QStringLiteral("written");
const QString kFailed = QStringLiteral("failed");

// A spreadsheet runs a cell that starts with one of these as a formula; an apostrophe before the
// text keeps it text. A text that starts with an apostrophe gets one more, so parsing can take
// exactly one off again.
bool needsGuard(const QString &text) {
  static const QString kFormulaStarts = QStringLiteral("=+-@\t'");
  return !text.isEmpty() && kFormulaStarts.contains(text.front());
}

QString field(QString text) {
  // One line per entry: a line break inside a field would break the rule that a reader relies on.
  text.replace(QLatin1String("\r\n"), QLatin1String(" "));
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  if (needsGuard(text))
    text.prepend(QLatin1Char('\''));
  if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))) {
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
  }
  return text;
}

QString unguarded(const QString &text) {
  return text.startsWith(QLatin1Char('\'')) && needsGuard(text.mid(1)) ? text.mid(1) : text;
}

// The fields of one line; nothing when a quoted field does not end on the line.
std::optional<QStringList> splitLine(const QString &line) {
  QStringList fields;
  QString current;
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar c = line.at(i);
    if (quoted) {
      if (c != QLatin1Char('"'))
        current += c;
      else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
        current += line.at(++i);
      else
        quoted = false;
    } else if (c == QLatin1Char('"')) {
      quoted = true;
    } else if (c == QLatin1Char(',')) {
      fields << current;
      current.clear();
    } else {
      current += c;
    }
  }
  if (quoted)
    return std::nullopt;
  fields << current;
  return fields;
}

// The fields of a line by column name, as the header names them.
class Row {
public:
  Row(const QHash<QString, qsizetype> &index, const QStringList &fields) : m_index(index), m_fields(fields) {}
  QString text(const char *name) const {
    const qsizetype i = m_index.value(QLatin1String(name), -1);
    return i >= 0 && i < m_fields.size() ? unguarded(m_fields.at(i)) : QString();
  }
  bool number(const char *name, qint64 &out, bool emptyIsUnknown = false) const {
    const QString t = text(name);
    if (emptyIsUnknown && t.isEmpty()) {
      out = -1;
      return true;
    }
    bool ok = false;
    out = t.toLongLong(&ok);
    return ok;
  }

private:
  const QHash<QString, qsizetype> &m_index;
  const QStringList &m_fields;
};

std::optional<TraceEntry> entryOf(const Row &row) {
  TraceEntry e;
  e.startedUtc = QDateTime::fromString(row.text("started_utc"), Qt::ISODateWithMs);
  bool secondsOk = false;
  e.seconds = row.text("seconds").toDouble(&secondsOk);
  e.computer = row.text("computer");
  e.user = row.text("user");
  e.program = row.text("program");
  e.version = row.text("version");
  e.port = row.text("port");
  e.adapter = row.text("adapter");
  e.interface = row.text("interface");
  e.script = row.text("script");
  e.scriptSha256 = row.text("script_sha256");
  e.reason = row.text("reason");
  qint64 code = 0;
  const QString result = row.text("result");
  const bool numbers = row.number("script_bytes", e.scriptBytes, true) &&
                       row.number("bytes_sent", e.bytesSent) && row.number("exit_code", code);
  e.exitCode = int(code);
  e.written = result == kWritten;
  if (!e.startedUtc.isValid() || !secondsOk || !numbers || (result != kWritten && result != kFailed))
    return std::nullopt;
  return e;
}

QString lineOf(const QByteArray &bytes) {
  QString text = QString::fromUtf8(bytes);
  if (text.endsWith(QLatin1Char('\r')))
    text.chop(1);
  return text;
}
} // namespace

TraceSource TraceSource::thisProgram(const QString &program) {
  return {Workstation::computerName(), Workstation::userName(), program,
          QString::fromLatin1(buildinfo::ProductVersion)};
}

ScriptDigest ScriptDigest::of(const QString &path) {
  QFile file(path);
  QCryptographicHash hash(QCryptographicHash::Sha256);
  if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
    return {};
  return {file.size(), QString::fromLatin1(hash.result().toHex())};
}

TraceEntry traceEntryOf(const PortResult &result, const TraceSource &source, const QString &script,
                        const ScriptDigest &digest) {
  TraceEntry e;
  e.seconds = result.seconds;
  e.startedUtc = result.startedUtc.isValid()
                     ? result.startedUtc.toUTC()
                     : QDateTime::currentDateTimeUtc().addMSecs(-qint64(result.seconds * 1000.0));
  e.computer = source.computer;
  e.user = source.user;
  e.program = source.program;
  e.version = source.version;
  e.port = result.port;
  e.adapter = result.adapter;
  e.interface = result.interface;
  e.script = script;
  e.scriptBytes = digest.bytes;
  e.scriptSha256 = digest.sha256;
  e.bytesSent = result.bytes;
  e.exitCode = result.code;
  e.written = result.ok;
  if (!result.ok)
    e.reason = result.message;
  return e;
}

QString TraceRecord::problem() const {
  return RecordFile::checkAppendable(m_path);
}

QString TraceRecord::append(const TraceEntry &entry) const {
  return RecordFile::append(m_path, head(), line(entry));
}

QStringList TraceRecord::columns() {
  return kColumns;
}

QByteArray TraceRecord::head() {
  // The byte-order mark tells a spreadsheet that the text is UTF-8, so names keep their umlauts.
  return QByteArray("\xEF\xBB\xBF") + kColumns.join(QLatin1Char(',')).toUtf8() + '\n';
}

QByteArray TraceRecord::line(const TraceEntry &e) {
  const QStringList fields{e.startedUtc.toUTC().toString(Qt::ISODateWithMs),
                           QString::number(e.seconds, 'f', 3),
                           field(e.computer),
                           field(e.user),
                           field(e.program),
                           field(e.version),
                           field(e.port),
                           field(e.adapter),
                           field(e.interface),
                           field(e.script),
                           e.scriptBytes < 0 ? QString() : QString::number(e.scriptBytes),
                           field(e.scriptSha256),
                           QString::number(e.bytesSent),
                           QString::number(e.exitCode),
                           field(e.reason),
                           e.written ? kWritten : kFailed};
  return fields.join(QLatin1Char(',')).toUtf8() + '\n';
}

TraceRecord::Contents TraceRecord::parse(const QByteArray &content) {
  Contents out;
  QList<QByteArray> lines = content.split('\n');
  if (!lines.isEmpty() && lines.first().startsWith("\xEF\xBB\xBF"))
    lines.first().remove(0, 3);
  const std::optional<QStringList> header = lines.isEmpty() ? std::nullopt : splitLine(lineOf(lines.first()));
  QHash<QString, qsizetype> index;
  for (qsizetype i = 0; header && i < header->size(); ++i)
    index.insert(header->at(i), i);
  if (!index.contains(QStringLiteral("started_utc")) || !index.contains(QStringLiteral("result"))) {
    if (!content.isEmpty())
      out.problems << QStringLiteral("line 1: not the record's header line");
    return out;
  }
  for (qsizetype n = 1; n < lines.size(); ++n) {
    const QString text = lineOf(lines.at(n));
    if (text.isEmpty())
      continue;
    const std::optional<QStringList> fields = splitLine(text);
    std::optional<TraceEntry> entry;
    if (fields && fields->size() == header->size())
      entry = entryOf(Row(index, *fields));
    if (entry)
      out.entries << *entry;
    else
      out.problems
          << QStringLiteral("line %1: not a whole entry (cut short, or not written by Tamberlin)").arg(n + 1);
  }
  return out;
}

TraceRecord::Contents TraceRecord::read(const QString &path, QString *error) {
  QFile file(path);
  if (!file.exists())
    return {};
  if (!file.open(QIODevice::ReadOnly)) {
    if (error)
      *error = QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString());
    return {};
  }
  return parse(file.readAll());
}
