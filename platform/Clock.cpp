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
    QObject::connect(qt, &QTimer::timeout, timer, &ClockTimer::fire);
    // What is kept for a timer goes with it, so it is never handed to a later timer at its address.
    // The timer may be destroyed inside this Qt timer's own timeout.
    QObject::connect(timer, &QObject::destroyed, qt, [this, timer, qt] {
      d->timers.remove(timer);
      qt->stop();
      qt->deleteLater();
    });
  }
  qt->setTimerType(timer->isCoarse() ? Qt::CoarseTimer : Qt::PreciseTimer);
  const quint64 now = nowMs();
  qt->start(int(dueMs > now ? dueMs - now : 0));
}

// The Qt timer stays with its clock timer until that is destroyed: a timer that is started and
// stopped for every received block costs no allocation and no deferred deletion each time.
void EventLoopClock::disarmTimer(ClockTimer *timer) {
  if (QTimer *qt = d->timers.value(timer))
    qt->stop();
}
