#pragma once

#include "station/WriteEvents.h"

#include <QList>

// The write command's events as text: on a terminal one live line per port (phase, percent,
// bytes, rate, time left) redrawn a few times a second; elsewhere one plain line per phase change
// and per 10 %. Progress and messages go to standard error, the summary table to standard output.
class TextEvents : public WriteEvents {
public:
  explicit TextEvents(bool live);

  void started(const QString &port, const QString &script, qint64 total) override;
  void phase(const QString &port, const QString &phase) override;
  void progress(const QString &port, qint64 done, qint64 total) override;
  void log(const QString &, const QString &) override {}
  void message(const QString &port, const QString &text) override;
  void result(const PortResult &result) override;
  void summary(const QList<PortResult> &results, int code) override;

private:
  struct Line {
    QString port;
    QString phase = QStringLiteral("starting");
    qint64 done = 0;
    qint64 total = 0;
    quint64 dataStartMs = 0;
    int tenths = -1; // the last 10 % step printed (plain mode)
    QString ending;
  };
  Line &line(const QString &port);
  QString render(const Line &line) const;
  void say(const QString &text);
  void redraw(bool force);

  bool m_live;
  QList<Line> m_lines;
  int m_drawn = 0; // live lines on the screen below the last message
  quint64 m_lastDrawMs = 0;
};
