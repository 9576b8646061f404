#pragma once

#include "station/WriteEvents.h"

#include <QHash>

// The write command's events as JSON Lines on standard output; progress at most a few times a
// second per port, and always at its end.
class JsonEvents : public WriteEvents {
public:
  void started(const QString &port, const QString &script, qint64 total) override;
  void phase(const QString &port, const QString &phase) override;
  void progress(const QString &port, qint64 done, qint64 total) override;
  void log(const QString &port, const QString &text) override;
  void message(const QString &port, const QString &text) override;
  void result(const PortResult &result) override;
  void summary(const QList<PortResult> &results, int code) override;

private:
  QHash<QString, quint64> m_lastProgress;
};
