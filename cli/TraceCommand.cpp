// tamberlin-cli trace: where the record of every write is, and its entries as a table or as JSON Lines.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/JsonLines.h"
#include "cli/TextTable.h"
#include "platform/Terminal.h"
#include "station/ExitCodes.h"
#include "station/TracePlace.h"
#include "station/TraceRecord.h"

#include <QDir>
#include <QJsonArray>

#include <cstdio>

namespace {
QJsonValue textOrNull(const QString &text) {
  return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// The same names as the record's columns, so that one name means one thing in both forms.
QJsonObject entryObject(const TraceEntry &e) {
  return {{"event", "entry"},
          {"started_utc", e.startedUtc.toString(Qt::ISODateWithMs)},
          {"seconds", e.seconds},
          {"computer", e.computer},
          {"user", e.user},
          {"program", e.program},
          {"version", e.version},
          {"port", e.port},
          {"adapter", textOrNull(e.adapter)},
          {"interface", textOrNull(e.interface)},
          {"script", e.script},
          {"script_bytes", e.scriptBytes < 0 ? QJsonValue() : QJsonValue(e.scriptBytes)},
          {"script_sha256", textOrNull(e.scriptSha256)},
          {"bytes_sent", e.bytesSent},
          {"exit_code", e.exitCode},
          {"reason", textOrNull(e.reason)},
          {"result", e.written ? "written" : "failed"}};
}

QString table(const QList<TraceEntry> &entries) {
  QList<QStringList> rows{{"STARTED (UTC)", "PORT", "RESULT", "CODE", "INTERFACE", "BYTES", "SECONDS",
                           "PROGRAM", "USER", "SCRIPT", "REASON"}};
  for (const TraceEntry &e : entries)
    rows << QStringList{e.startedUtc.toString(Qt::ISODateWithMs),
                        e.port,
                        e.written ? QStringLiteral("written") : QStringLiteral("failed"),
                        QString::number(e.exitCode),
                        e.interface.isEmpty() ? QStringLiteral("-") : e.interface,
                        QString::number(e.bytesSent),
                        QString::number(e.seconds, 'f', 1),
                        e.program,
                        e.user,
                        e.script,
                        e.reason};
  return textTable(rows);
}
} // namespace

int runTrace(const CliOptions &options) {
  QString settingsProblem;
  const QString path = options.trace.isEmpty() ? TracePlace::current(&settingsProblem) : options.trace;
  if (!settingsProblem.isEmpty())
    writeText(stderr, QStringLiteral("tamberlin-cli: %1\n").arg(settingsProblem));
  QString error;
  const TraceRecord::Contents contents = TraceRecord::read(path, &error);
  if (!error.isEmpty()) {
    writeText(stderr, QStringLiteral("tamberlin-cli: %1\n").arg(error));
    return ExitCode::NotAllWritten;
  }
  for (const QString &problem : contents.problems)
    writeText(stderr, QStringLiteral("tamberlin-cli: %1: %2\n").arg(QDir::toNativeSeparators(path), problem));
  const qsizetype first = options.last > 0 ? qMax<qsizetype>(0, contents.entries.size() - options.last) : 0;
  const QList<TraceEntry> shown = contents.entries.mid(first);
  if (options.json) {
    for (const TraceEntry &e : shown)
      JsonLines::write(entryObject(e));
    JsonLines::write({{"event", "summary"},
                      {"record", QDir::toNativeSeparators(path)},
                      {"entries", contents.entries.size()},
                      {"shown", shown.size()},
                      {"problems", QJsonArray::fromStringList(contents.problems)}});
    return ExitCode::Written;
  }
  QString out = QStringLiteral("Record: %1\n").arg(QDir::toNativeSeparators(path));
  if (contents.entries.isEmpty())
    out += QStringLiteral("No writes recorded yet.\n");
  else
    out += table(shown) +
           QStringLiteral("%1 of %2 entries shown.\n").arg(shown.size()).arg(contents.entries.size());
  writeText(stdout, out);
  return ExitCode::Written;
}
