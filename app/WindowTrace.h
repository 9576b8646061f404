#pragma once

#include "gateway/GatewayReport.h"
#include "station/WriteEvents.h"

#include <QDateTime>
#include <QString>

#include <optional>

class GatewayLink;

// The record of every write for the main window: one line for each job that writes on its port
// ("Write Script", /F, a script named on the command line), appended when the job has ended. What
// the window shows, logs and sends stays as it is; only a line that cannot be appended adds a line
// to the log.
class WindowTrace {
public:
  // Begins the attempt that the main window's report passes on to, until finish(). A second one
  // while an attempt runs is a start that the window refuses, and records nothing.
  WindowTrace(const GatewayLink &link, QString port, QString script);
  ~WindowTrace();
  WindowTrace(const WindowTrace &) = delete;
  WindowTrace &operator=(const WindowTrace &) = delete;

  // Appends the attempt's line.
  void finish();

  // What the main window is told while a job runs, for the attempt that runs, if any.
  static void phase(GatewayReport::Phase phase);
  static void progress(qint64 done);
  static void outcome(const GatewayReport::Outcome &outcome);

private:
  // The attempt as the command line reports a port's ending.
  PortResult result() const;

  static WindowTrace *s_running;

  const GatewayLink &m_link;
  bool m_active;
  QString m_port;
  QString m_script;
  QDateTime m_startedUtc;
  quint64 m_startMs = 0;
  quint64 m_endMs = 0;
  QString m_interface;
  qint64 m_bytes = 0;
  std::optional<GatewayReport::Outcome> m_outcome;
};
