#include "platform/Clock.h"

#include "platform/Seam.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QThread>
#include <QTimer>

Clock &Clock::instance() {
  return Seam<Clock>::instance<EventLoopClock>();
}

void Clock::setInstance(Clock *clock) {
  Seam<Clock>::installed = clock;
}

bool Clock::waitUntil(const std::function<bool()> &done, quint64 deadlineMs) {
  // Without a deadline each pass still has one, so that time moves on when nothing is pending.
  const quint64 slice = 3600u * 1000u;
  while (!done() && nowMs() < deadlineMs)
    waitForEvents(qMin(deadlineMs, nowMs() + slice));
  return done();
}

ClockTimer::ClockTimer(QObject *parent) : QObject(parent), m_clock(&Clock::instance()) {}

ClockTimer::~ClockTimer() {
  if (m_active)
    m_clock->disarmTimer(this);
}

void ClockTimer::setEnabled(bool enabled) {
  if (enabled && !m_active)
    start();
  else if (!enabled)
    stop();
}

void ClockTimer::start() {
  m_active = true;
  m_clock->armTimer(this, m_clock->nowMs() + quint64(qMax(0, m_interval)));
}

void ClockTimer::start(int ms) {
  m_interval = ms;
  start();
}

void ClockTimer::stop() {
  if (!m_active)
    return;
  m_active = false;
  m_clock->disarmTimer(this);
}

void ClockTimer::fire() {
  if (!m_active)
    return;
  if (m_singleShot) {
    m_active = false;
    // The clock lets go of what it kept for this timer, which must not be handed to another timer
    // later created at the same address.
    m_clock->disarmTimer(this);
  } else
    m_clock->armTimer(this, m_clock->nowMs() + quint64(qMax(1, m_interval)));
  emit timeout();
}

struct EventLoopClock::Private {
  QElapsedTimer elapsed;
  QTimer wake;
  QHash<ClockTimer *, QTimer *> timers;
};

EventLoopClock::EventLoopClock() : d(new Private) {
  d->elapsed.start();
  d->wake.setSingleShot(true);
  d->wake.setTimerType(Qt::PreciseTimer);
}

EventLoopClock::~EventLoopClock() {
  qDeleteAll(d->timers);
  delete d;
}

quint64 EventLoopClock::nowMs() const {
  return quint64(d->elapsed.elapsed());
}

void EventLoopClock::processMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void EventLoopClock::waitForEvents(quint64 deadlineMs) {
  const quint64 now = nowMs();
  if (now >= deadlineMs) {
    processMessages();
    return;
  }
  // The wake timer is itself an event, so the blocking pass returns at the deadline at the latest.
  const quint64 remaining = deadlineMs - now;
  d->wake.start(int(qMin<quint64>(remaining, 24u * 3600u * 1000u)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  d->wake.stop();
}

void EventLoopClock::sleep(quint32 ms) {
  QThread::msleep(ms);
}

void EventLoopClock::armTimer(ClockTimer *timer, quint64 dueMs) {
  QTimer *&qt = d->timers[timer];
  if (!qt) {
    qt = new QTimer;
    qt->setSingleShot(true);
    qt->setTimerType(timer->isCoarse() ? Qt::CoarseTimer : Qt::PreciseTimer);
    QObject::connect(qt, &QTimer::timeout, timer, &ClockTimer::fire);
  }
  const quint64 now = nowMs();
  qt->start(int(dueMs > now ? dueMs - now : 0));
}

void EventLoopClock::disarmTimer(ClockTimer *timer) {
  // The timer may be the one whose timeout runs right now.
  if (QTimer *qt = d->timers.take(timer)) {
    qt->stop();
    qt->disconnect();
    qt->deleteLater();
  }
}
