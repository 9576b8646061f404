#include "station/StationSlot.h"

#include "platform/Clock.h"
#include "station/ExitCodes.h"

namespace {
// A reason on one line: the gateway layer's messages are written for message boxes.
QString oneLine(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text.simplified();
}
} // namespace

StationSlot::StationSlot(const SlotBinding &binding, QObject *parent)
    : QObject(parent), m_binding(binding), m_port(binding.com) {}

StationSlot::~StationSlot() = default;

QString StationSlot::portName() const {
  return m_port ? QStringLiteral("COM%1").arg(m_port) : QString();
}

QString StationSlot::stateText() const {
  switch (m_state) {
  case SlotState::Idle:
    return QStringLiteral("idle");
  case SlotState::WaitingForGateway:
    return QStringLiteral("waiting for a gateway");
  case SlotState::Searching:
    return QStringLiteral("searching");
  case SlotState::Writing:
    return QStringLiteral("writing %1 of %2 bytes (%3 %)").arg(m_done).arg(m_total).arg(percent());
  case SlotState::Restarting:
    return QStringLiteral("restarting");
  case SlotState::Written:
    return QStringLiteral("written");
  case SlotState::Failed:
    return QStringLiteral("failed: ") + m_failure;
  }
  return {};
}

int StationSlot::percent() const {
  return m_total > 0 ? int(m_done * 100 / m_total) : 0;
}

double StationSlot::secondsTaken() const {
  if (!running())
    return m_seconds;
  return double(Clock::instance().nowMs() - m_startMs) / 1000.0;
}

void StationSlot::setWhere(quint16 port, const QString &adapterText, const QString &note) {
  if (m_port == port && m_adapterText == adapterText && m_note == note)
    return;
  m_port = port;
  m_adapterText = adapterText;
  m_note = note;
  emit changed();
}

void StationSlot::setState(SlotState state) {
  if (m_state == state)
    return;
  m_state = state;
  emit changed();
}

void StationSlot::setWaitingForRemoval(bool waiting) {
  if (m_waitingForRemoval == waiting)
    return;
  m_waitingForRemoval = waiting;
  emit changed();
}

void StationSlot::setCounters(const StationCounters &counters) {
  m_counters = counters;
  emit changed();
}

void StationSlot::start(const PortWriter::Settings &settings) {
  m_ended.reset();
  m_done = 0;
  m_total = settings.image ? settings.image->size() : 0;
  m_request.clear();
  m_failure.clear();
  m_seconds = 0;
  m_startMs = Clock::instance().nowMs();
  m_state = SlotState::Searching;
  m_writer = std::make_unique<PortWriter>(m_port, settings, static_cast<WriteEvents &>(*this));
  emit changed();
  m_writer->start(); // a port that cannot be used ends the write here
}

void StationSlot::stop() {
  if (m_writer)
    m_writer->interrupt();
}

void StationSlot::started(const QString &, const QString &, qint64 total) {
  m_total = total;
}

void StationSlot::phase(const QString &, const QString &phase) {
  SlotState state = SlotState::Writing;
  if (phase == QLatin1String("searching"))
    state = SlotState::Searching;
  else if (phase == QLatin1String("restarting"))
    state = SlotState::Restarting;
  m_request.clear(); // the gateway has moved on from whatever was asked of it
  m_state = state;
  emit changed();
}

void StationSlot::progress(const QString &, qint64 done, qint64 total) {
  const int before = percent();
  m_done = done;
  m_total = total;
  // Every byte reports; a window needs to hear of each percent only.
  if (percent() != before || done == total)
    emit changed();
}

void StationSlot::log(const QString &, const QString &) {}

void StationSlot::message(const QString &, const QString &text) {
  m_request = text;
  if (m_state == SlotState::Searching)
    m_state = SlotState::WaitingForGateway;
  emit changed();
}

void StationSlot::result(const PortResult &ended) {
  PortResult result = ended;
  if (result.code == ExitCode::Interrupted)
    result.message = result.bytes > 0 ? QStringLiteral("stopped while writing: the gateway holds part of the "
                                                       "script, write it again")
                                      : QStringLiteral("stopped before any of the script went out");
  m_lastResult = result;
  m_seconds = result.seconds;
  m_failure = result.ok ? QString() : oneLine(result.message);
  m_request.clear();
  m_state = result.ok ? SlotState::Written : SlotState::Failed;
  m_counters.count(result.ok);
  // The writer is still on the stack that reported this; it goes when the next write starts.
  m_ended = std::move(m_writer);
  emit changed();
  emit finished(result);
}

void StationSlot::summary(const QList<PortResult> &, int) {}
