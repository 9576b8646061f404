#include "cli/TextEvents.h"

#include "platform/Clock.h"
#include "platform/Terminal.h"

#include <cstdio>

namespace {
const quint64 kRedrawEveryMs = 250;

QString duration(double seconds) {
  const int s = qMax(0, qRound(seconds));
  return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}
} // namespace

TextEvents::TextEvents(bool live) : m_live(live) {}

TextEvents::Line &TextEvents::line(const QString &port) {
  for (Line &l : m_lines)
    if (l.port == port)
      return l;
  Line fresh;
  fresh.port = port;
  m_lines.append(fresh);
  return m_lines.last();
}

QString TextEvents::render(const Line &l) const {
  if (!l.ending.isEmpty())
    return QStringLiteral("%1  %2").arg(l.port, l.ending);
  QString text = QStringLiteral("%1  %2").arg(l.port, l.phase.leftJustified(11));
  if (l.total <= 0 || l.done <= 0)
    return text;
  text += QStringLiteral(" %1 %  %2/%3 bytes").arg(l.done * 100 / l.total, 3).arg(l.done).arg(l.total);
  const double seconds = double(Clock::instance().nowMs() - l.dataStartMs) / 1000.0;
  if (seconds > 0.5) {
    const double rate = double(l.done) / seconds;
    text +=
        QStringLiteral("  %1 B/s  %2 left").arg(qRound(rate)).arg(duration(double(l.total - l.done) / rate));
  }
  return text;
}

void TextEvents::say(const QString &text) {
  // A message goes above the live lines, which are drawn again below it.
  if (m_live && m_drawn > 0)
    std::fprintf(stderr, "\033[%dA\033[J", m_drawn);
  m_drawn = 0;
  writeText(stderr, text + QLatin1Char('\n'));
  if (m_live)
    redraw(true);
}

void TextEvents::redraw(bool force) {
  const quint64 now = Clock::instance().nowMs();
  if (!force && now - m_lastDrawMs < kRedrawEveryMs)
    return;
  m_lastDrawMs = now;
  if (m_drawn > 0)
    std::fprintf(stderr, "\033[%dA", m_drawn);
  for (const Line &l : std::as_const(m_lines))
    writeText(stderr, QStringLiteral("\r\033[K%1\n").arg(render(l)));
  m_drawn = int(m_lines.size());
  std::fflush(stderr);
}

void TextEvents::started(const QString &port, const QString &, qint64 total) {
  line(port).total = total;
  if (m_live)
    redraw(true);
}

void TextEvents::phase(const QString &port, const QString &phase) {
  Line &l = line(port);
  if (l.phase == phase)
    return;
  l.phase = phase;
  if (phase == QLatin1String("programming"))
    l.dataStartMs = Clock::instance().nowMs();
  if (m_live)
    redraw(true);
  else
    say(QStringLiteral("%1: %2").arg(port, phase));
}

void TextEvents::progress(const QString &port, qint64 done, qint64 total) {
  Line &l = line(port);
  l.done = done;
  l.total = total;
  if (m_live) {
    redraw(done == total);
    return;
  }
  const int tenths = total > 0 ? int(done * 10 / total) : 10;
  if (tenths == l.tenths || tenths == 0)
    return;
  l.tenths = tenths;
  say(QStringLiteral("%1: %2 % (%3/%4 bytes)").arg(port).arg(tenths * 10).arg(done).arg(total));
}

void TextEvents::message(const QString &port, const QString &text) {
  say(QStringLiteral("%1: %2").arg(port, text));
}

void TextEvents::result(const PortResult &r) {
  Line &l = line(r.port);
  l.ending = r.ok ? QStringLiteral("written: %1 bytes in %2 s").arg(r.bytes).arg(r.seconds, 0, 'f', 1)
                  : QStringLiteral("failed (%1): %2")
                        .arg(r.code)
                        .arg(QString(r.message).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
  if (m_live)
    redraw(true);
  else
    say(render(l));
}

void TextEvents::summary(const QList<PortResult> &results, int code) {
  std::printf("%-8s %-14s %8s %8s  %s\n", "port", "interface", "bytes", "seconds", "result");
  for (const PortResult &r : results)
    std::printf("%-8s %-14s %8lld %8.1f  %s\n", qPrintable(r.port),
                qPrintable(r.interface.isEmpty() ? QStringLiteral("-") : r.interface),
                static_cast<long long>(r.bytes), r.seconds,
                qPrintable(r.ok ? QStringLiteral("written") : QStringLiteral("failed (%1)").arg(r.code)));
  std::printf("exit code %d\n", code);
  std::fflush(stdout);
}
