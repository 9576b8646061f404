#pragma once

#include "station/TraceRecord.h"
#include "station/WriteEvents.h"

#include <QHash>

// Passes the write command's events on and appends a line to the record of every write for each
// port's result. A line that cannot be appended is said to the user as a message; the write goes on.
class TraceEvents : public WriteEvents {
public:
  struct Settings {
    QString record;                   // the record's path
    TraceSource source;               // this program, computer and user
    QString script;                   // the script as the record names it
    ScriptDigest digest;              // its size and SHA-256, taken once
    QHash<QString, QString> adapters; // "COM3" -> the USB adapter's identity, for ports without one
  };

  TraceEvents(WriteEvents &inner, Settings settings);

  void started(const QString &port, const QString &script, qint64 total) override;
  void phase(const QString &port, const QString &phase) override;
  void progress(const QString &port, qint64 done, qint64 total) override;
  void log(const QString &port, const QString &text) override;
  void message(const QString &port, const QString &text) override;
  void result(const PortResult &result) override;
  void summary(const QList<PortResult> &results, int code) override;

private:
  WriteEvents &m_inner;
  Settings m_settings;
  TraceRecord m_record;
};
