#include "tests/support/VirtualClock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>

VirtualClock::VirtualClock(quint64 startMs) : m_now(startMs) {
  Clock::setInstance(this);
}

VirtualClock::~VirtualClock() {
  Clock::setInstance(nullptr);
}

bool VirtualClock::drainEvents() {
  // A bounded number of passes: a real-time Qt timer that keeps firing must not stall time.
  bool any = false;
  for (int pass = 0; pass < 50; ++pass) {
    QCoreApplication::sendPostedEvents();
    auto *dispatcher = QAbstractEventDispatcher::instance();
    const bool handled = dispatcher && dispatcher->processEvents(QEventLoop::AllEvents);
    if (!handled)
      break;
    any = true;
  }
  return any;
}

void VirtualClock::processMessages() {
  drainEvents();
  fireDue();
}

void VirtualClock::fireDue() {
  while (!m_due.empty() && m_due.begin()->first.first <= m_now) {
    ClockTimer *timer = m_due.begin()->second;
    m_due.erase(m_due.begin());
    timer->fire();
  }
}

void VirtualClock::waitForEvents(quint64 deadlineMs) {
  if (drainEvents())
    return;
  quint64 next = deadlineMs;
  if (!m_due.empty())
    next = qMin(next, m_due.begin()->first.first);
  if (next > m_now)
    m_now = next;
  fireDue();
  drainEvents();
}

void VirtualClock::armTimer(ClockTimer *timer, quint64 dueMs) {
  disarmTimer(timer);
  m_due.emplace(std::make_pair(dueMs, m_sequence++), timer);
}

void VirtualClock::disarmTimer(ClockTimer *timer) {
  for (auto it = m_due.begin(); it != m_due.end(); ++it) {
    if (it->second == timer) {
      m_due.erase(it);
      return;
    }
  }
}

void VirtualClock::advance(quint64 ms) {
  const quint64 target = m_now + ms;
  while (m_now < target)
    waitForEvents(target);
  processMessages();
}
