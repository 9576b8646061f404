#include "cli/TraceEvents.h"

#include <QDir>

TraceEvents::TraceEvents(WriteEvents &inner, Settings settings)
    : m_inner(inner), m_settings(std::move(settings)), m_record(m_settings.record) {}

void TraceEvents::started(const QString &port, const QString &script, qint64 total) {
  m_inner.started(port, script, total);
}

void TraceEvents::phase(const QString &port, const QString &phase) {
  m_inner.phase(port, phase);
}

void TraceEvents::progress(const QString &port, qint64 done, qint64 total) {
  m_inner.progress(port, done, total);
}

void TraceEvents::log(const QString &port, const QString &text) {
  m_inner.log(port, text);
}

void TraceEvents::message(const QString &port, const QString &text) {
  m_inner.message(port, text);
}

void TraceEvents::result(const PortResult &result) {
  m_inner.result(result);
  PortResult traced = result;
  if (traced.adapter.isEmpty())
    traced.adapter = m_settings.adapters.value(result.port);
  const QString problem =
      m_record.append(traceEntryOf(traced, m_settings.source, m_settings.script, m_settings.digest));
  if (!problem.isEmpty())
    m_inner.message(result.port,
                    QStringLiteral("The record of every write has no line for this port: %1").arg(problem));
}

void TraceEvents::summary(const QList<PortResult> &results, int code) {
  m_inner.summary(results, code);
}
