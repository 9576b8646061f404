#include "app/WindowTrace.h"

#include "gateway/GatewayLink.h"
#include "platform/AdapterPorts.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "station/ExitCodes.h"
#include "station/TracePlace.h"
#include "station/TraceRecord.h"

#include <QDir>
#include <QFileInfo>

WindowTrace *WindowTrace::s_running = nullptr;

namespace {
QString adapterOn(const QString &port) {
  bool ok = false;
  const uint n = port.mid(3).toUInt(&ok);
  if (!ok || n == 0 || n > 65535)
    return {};
  const std::optional<AdapterPort> adapter = adapterOnPort(AdapterPorts::instance().present(), quint16(n));
  return adapter ? adapter->text() : QString();
}
} // namespace

WindowTrace::WindowTrace(const GatewayLink &link, QString port, QString script)
    : m_link(link), m_active(s_running == nullptr), m_port(std::move(port)), m_script(std::move(script)),
      m_startedUtc(QDateTime::currentDateTimeUtc()), m_startMs(Clock::instance().nowMs()) {
  if (m_active)
    s_running = this;
}

WindowTrace::~WindowTrace() {
  if (s_running == this)
    s_running = nullptr;
}

void WindowTrace::phase(GatewayReport::Phase phase) {
  using P = GatewayReport::Phase;
  // A download has begun: the search has told the interfaces apart.
  if (s_running && s_running->m_interface.isEmpty() && (phase == P::Testing || phase == P::Programming))
    s_running->m_interface =
        s_running->m_link.DebugReceived ? QStringLiteral("debug") : QStringLiteral("configuration");
}

void WindowTrace::progress(qint64 done) {
  if (s_running)
    s_running->m_bytes = done;
}

void WindowTrace::outcome(const GatewayReport::Outcome &outcome) {
  if (!s_running)
    return;
  s_running->m_outcome = outcome;
  s_running->m_endMs = Clock::instance().nowMs();
  if (outcome.failure == GatewayReport::Failure::DebugConfigMode)
    s_running->m_interface = QStringLiteral("debug");
}

PortResult WindowTrace::result() const {
  PortResult result;
  result.port = m_port;
  result.startedUtc = m_startedUtc;
  result.interface = m_interface;
  result.bytes = m_bytes;
  result.adapter = adapterOn(m_port);
  const quint64 endMs = m_outcome ? m_endMs : Clock::instance().nowMs();
  result.seconds = double(endMs - m_startMs) / 1000.0;
  if (!m_outcome) {
    result.code = ExitCode::Transfer;
    result.message = QStringLiteral("the job ended without a result (see the log)");
    return result;
  }
  result.ok = m_outcome->ok();
  result.code = ExitCode::of(m_outcome->failure);
  result.message = m_outcome->message;
  if (result.message.isEmpty() && m_outcome->writeReady)
    result.message = GatewayReport::writeReadyMessage(*m_outcome->writeReady);
  return result;
}

void WindowTrace::finish() {
  if (!m_active || s_running != this)
    return;
  s_running = nullptr;
  const QString script = QDir::toNativeSeparators(QFileInfo(m_script).absoluteFilePath());
  const TraceEntry entry = traceEntryOf(result(), TraceSource::thisProgram(QStringLiteral("tamberlin")),
                                        script, ScriptDigest::of(m_script));
  const TraceRecord record(TracePlace::current());
  if (const QString problem = record.append(entry); !problem.isEmpty())
    Log::line(QStringLiteral("The record of every write has no line for this attempt: ") + problem);
}
