#pragma once

#include <QObject>

#include <functional>

class ClockTimer;

// When a transfer's progress is drawn: a few times a second, and a moment after the byte that
// passed the mark. A progress bar draws itself at once when its value changes, which takes
// milliseconds, and the byte that answers a handshake dot must not wait for that.
class ProgressPacer : public QObject {
  Q_OBJECT
public:
  // Draws: bytes done, of total, milliseconds since the transfer began.
  using Show = std::function<void(qint64 done, qint64 total, quint64 elapsedMs)>;
  static constexpr quint64 EveryMs = 100;
  static constexpr int DelayMs = 20;

  explicit ProgressPacer(Show show, QObject *parent = nullptr);

  // A new transfer; nothing of an earlier one is drawn after this.
  void begin();
  // The last byte of a transfer is drawn at once, others when their time has come.
  void update(qint64 done, qint64 total);

private:
  void showPending();

  Show m_show;
  ClockTimer *m_delay;
  quint64 m_startMs = 0;
  quint64 m_shownMs = 0;
  qint64 m_done = 0;
  qint64 m_total = 0;
};
