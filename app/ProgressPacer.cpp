#include "app/ProgressPacer.h"

#include "platform/Clock.h"

ProgressPacer::ProgressPacer(Show show, QObject *parent)
    : QObject(parent), m_show(std::move(show)), m_delay(new ClockTimer(this)) {
  m_delay->setSingleShot(true);
  connect(m_delay, &ClockTimer::timeout, this, &ProgressPacer::showPending);
}

void ProgressPacer::begin() {
  m_delay->stop();
  m_startMs = m_shownMs = Clock::instance().nowMs();
}

void ProgressPacer::update(qint64 done, qint64 total) {
  const quint64 now = Clock::instance().nowMs();
  if (done < total && now - m_shownMs < EveryMs)
    return;
  m_shownMs = now;
  m_done = done;
  m_total = total;
  if (done >= total) {
    m_delay->stop();
    showPending();
  } else if (!m_delay->isActive()) {
    m_delay->start(DelayMs);
  }
}

void ProgressPacer::showPending() {
  m_show(m_done, m_total, m_shownMs - m_startMs);
}
