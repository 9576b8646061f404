#include "sim/program/AdapterLatency.h"

QByteArray AdapterLatency::take(const QByteArray &bytes, quint64 nowMs) {
  if (!enabled())
    return bytes;
  if (m_held.isEmpty())
    m_dueMs = (nowMs / m_latencyMs + 1) * m_latencyMs;
  m_held += bytes;
  const qsizetype full = m_held.size() - m_held.size() % kPacketBytes;
  const QByteArray now = m_held.left(full);
  m_held.remove(0, full);
  return now;
}

QByteArray AdapterLatency::release(quint64 nowMs) {
  if (m_held.isEmpty() || nowMs < m_dueMs)
    return {};
  QByteArray out;
  out.swap(m_held);
  return out;
}
