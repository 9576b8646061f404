#pragma once

#include "platform/Clock.h"

#include <map>

// Test clock: time stands still while events are pending and jumps to the next due timer (or
// the caller's deadline) when nothing else can happen. Installs itself for its lifetime.
class VirtualClock : public Clock {
public:
  explicit VirtualClock(quint64 startMs = 1000000);
  ~VirtualClock() override;

  quint64 nowMs() const override { return m_now; }
  void processMessages() override;
  void waitForEvents(quint64 deadlineMs) override;
  // Time passes, nothing is handled: timers that fall due fire at the next wait.
  void sleep(quint32 ms) override { m_now += ms; }
  void armTimer(ClockTimer *timer, quint64 dueMs) override;
  void disarmTimer(ClockTimer *timer) override;

  // Lets virtual time pass: fires every timer due up to now + ms, handling events in between.
  void advance(quint64 ms);
  // Handles events and due timers until time has reached deadline or done() holds.
  template <class Pred> bool runUntil(Pred done, quint64 limitMs) {
    const quint64 deadline = m_now + limitMs;
    while (!done() && m_now < deadline)
      waitForEvents(deadline);
    processMessages();
    return done();
  }

private:
  bool drainEvents();
  void fireDue();

  quint64 m_now;
  quint64 m_sequence = 0;
  // (due, sequence) -> timer: timers due at the same time fire in the order they were armed.
  std::map<std::pair<quint64, quint64>, ClockTimer *> m_due;
};
