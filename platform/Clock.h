#pragma once

#include <QObject>
#include <QtGlobal>

#include <functional>

class ClockTimer;

// The one millisecond clock and the one wait primitive of the program.
//
// Every wait is a loop of the form
//     while (!condition && clock.nowMs() < deadline) clock.waitForEvents(deadline);
// Production sleeps in the event loop until an event arrives or the deadline passes, so a long
// wait costs no CPU. The test clock (tests/support) never sleeps: when nothing is pending it
// jumps to the next due timer or the deadline, so a 15 s limit passes in microseconds.
class Clock {
public:
  virtual ~Clock() = default;

  // Monotonic milliseconds; the low 32 bits are the tick count.
  virtual quint64 nowMs() const = 0;
  quint32 tickCount() const { return quint32(nowMs()); }

  // Handles pending events without blocking ("pump messages").
  virtual void processMessages() = 0;

  // Handles pending events; when there are none, blocks until one arrives or deadlineMs passes.
  virtual void waitForEvents(quint64 deadlineMs) = 0;

  // Handles events until done() holds or deadlineMs passes (never, by default); done()'s final
  // value. For front ends that wait for a job's end; the jobs themselves never wait this way.
  static constexpr quint64 NoDeadline = ~quint64(0);
  bool waitUntil(const std::function<bool()> &done, quint64 deadlineMs = NoDeadline);

  // Blocks for ms without handling any event (a deliberate pause of the whole thread).
  virtual void sleep(quint32 ms) = 0;

  // Backend of ClockTimer: (re)arms or cancels the timer's next expiry.
  virtual void armTimer(ClockTimer *timer, quint64 dueMs) = 0;
  virtual void disarmTimer(ClockTimer *timer) = 0;

  static Clock &instance();
  // Installs a clock for the whole process (tests); nullptr restores the production clock.
  static void setInstance(Clock *clock);
};

// A timer that runs on the program's clock; in tests it fires in virtual time.
class ClockTimer : public QObject {
  Q_OBJECT
public:
  explicit ClockTimer(QObject *parent = nullptr);
  ~ClockTimer() override;

  void setInterval(int ms) { m_interval = ms; }
  int interval() const { return m_interval; }
  void setSingleShot(bool singleShot) { m_singleShot = singleShot; }
  bool isSingleShot() const { return m_singleShot; }
  // A timer whose exact moment does not matter (a safety net): the clock may let it fire together
  // with others, so that several of them wake the program once.
  void setCoarse(bool coarse) { m_coarse = coarse; }
  bool isCoarse() const { return m_coarse; }
  bool isActive() const { return m_active; }

  // Like a Delphi TTimer's Enabled: enabling a running timer keeps its schedule.
  void setEnabled(bool enabled);
  bool isEnabled() const { return m_active; }

  // A signed counter for the timer's user, like a component's Tag.
  int tag = 0;

  void start();
  void start(int ms);
  void stop();

  // Called by the clock when the timer is due.
  void fire();

signals:
  void timeout();

private:
  Clock *m_clock;
  int m_interval = 0;
  bool m_singleShot = false;
  bool m_coarse = false;
  bool m_active = false;
};

// Production clock: QElapsedTimer and the Qt event loop.
class EventLoopClock : public Clock {
public:
  EventLoopClock();
  ~EventLoopClock() override;
  quint64 nowMs() const override;
  void processMessages() override;
  void waitForEvents(quint64 deadlineMs) override;
  void sleep(quint32 ms) override;
  void armTimer(ClockTimer *timer, quint64 dueMs) override;
  void disarmTimer(ClockTimer *timer) override;

private:
  struct Private;
  Private *d;
};
