#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// How one port's write ended.
struct PortResult {
  QString port; // "COM3"
  bool ok = false;
  int code = 0; // the exit code this ending has on its own
  QString message;
  QString interface; // "configuration", "debug", or empty when no gateway was told apart
  qint64 bytes = 0;  // script bytes handed to the line
  double seconds = 0;
  QDateTime startedUtc;
  QString adapter; // the USB adapter's identity in words; empty for a port without one
};

// What the write command tells its user, as text or as JSON Lines.
class WriteEvents {
public:
  virtual ~WriteEvents() = default;
  virtual void started(const QString &port, const QString &script, qint64 total) = 0;
  virtual void phase(const QString &port, const QString &phase) = 0;
  virtual void progress(const QString &port, qint64 done, qint64 total) = 0;
  virtual void log(const QString &port, const QString &text) = 0;
  // A request or a note for the person at the gateway.
  virtual void message(const QString &port, const QString &text) = 0;
  virtual void result(const PortResult &result) = 0;
  virtual void summary(const QList<PortResult> &results, int code) = 0;
};
