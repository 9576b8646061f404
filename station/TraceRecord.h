#pragma once

#include "station/WriteEvents.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One attempt to write a script, as the record of every write keeps it.
struct TraceEntry {
  QDateTime startedUtc;
  double seconds = 0;
  QString computer;
  QString user;
  QString program; // "tamberlin", "tamberlin-cli"
  QString version;
  QString port;            // "COM3"
  QString adapter;         // the USB adapter's identity in words; empty for a port without one
  QString interface;       // "configuration", "debug", or empty when no gateway was told apart
  QString script;          // the script file's path
  qint64 scriptBytes = -1; // -1: the file could not be read
  QString scriptSha256;    // lower-case hexadecimal; empty when the file could not be read
  qint64 bytesSent = 0;
  int exitCode = 0; // tamberlin-cli's exit code for this ending, whichever program wrote
  QString reason;   // why the script was not written; empty when it was
  bool written = false;
};

// Who writes: the same for every line that a program appends.
struct TraceSource {
  QString computer;
  QString user;
  QString program;
  QString version;
  // This computer, this user, the given program and the build's version.
  static TraceSource thisProgram(const QString &program);
};

// A script file's size and SHA-256, taken once for every line about that script.
struct ScriptDigest {
  qint64 bytes = -1;
  QString sha256;
  static ScriptDigest of(const QString &path);
};

// The line for a port's ending.
TraceEntry traceEntryOf(const PortResult &result, const TraceSource &source, const QString &script,
                        const ScriptDigest &digest);

// The record of every write: CSV (RFC 4180) in UTF-8 with a byte-order mark and a header line, one
// line per attempt, from every program and path that writes. Lines never hold a line break inside,
// and the result comes last, so a line cut short by a power cut never reads as a whole one. Text
// that a spreadsheet would take for a formula (= + - @ at its start) is written with an apostrophe
// before it; parsing takes it off again.
class TraceRecord {
public:
  explicit TraceRecord(QString path) : m_path(std::move(path)) {}
  QString path() const { return m_path; }

  // Why no line can be appended now; empty when one can. Adds no line.
  QString problem() const;
  // Appends the entry's line; empty on success, otherwise why not.
  QString append(const TraceEntry &entry) const;

  struct Contents {
    QList<TraceEntry> entries;
    QStringList problems; // "line 7: ...", for lines that are not whole entries
  };
  // Reads the record; error says why it could not be read (a missing record is no error).
  static Contents read(const QString &path, QString *error);

  static QStringList columns();
  // The byte-order mark and the header line.
  static QByteArray head();
  static QByteArray line(const TraceEntry &entry);
  static Contents parse(const QByteArray &content);

private:
  QString m_path;
};
