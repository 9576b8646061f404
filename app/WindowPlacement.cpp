#include "app/WindowPlacement.h"

#include <QtEndian>

namespace WindowPlacement {

QByteArray encodeBounds(const QRect &bounds) {
  QByteArray record(16, '\0');
  const qint32 values[4] = {bounds.left(), bounds.top(), bounds.left() + bounds.width(),
                            bounds.top() + bounds.height()};
  for (int i = 0; i < 4; ++i)
    qToLittleEndian<qint32>(values[i], record.data() + 4 * i);
  return record;
}

std::optional<QRect> decodeBounds(const QByteArray &record) {
  if (record.size() != 16)
    return std::nullopt;
  qint32 v[4];
  for (int i = 0; i < 4; ++i)
    v[i] = qFromLittleEndian<qint32>(record.constData() + 4 * i);
  // Width and height in 64 bits: a record of extreme values must not overflow.
  const qint64 width = qint64(v[2]) - v[0];
  const qint64 height = qint64(v[3]) - v[1];
  if (width > INT_MAX || height > INT_MAX || width < INT_MIN || height < INT_MIN)
    return QRect();
  return QRect(v[0], v[1], int(width), int(height));
}

State decodeState(const QByteArray &record) {
  if (record.size() != 1)
    return Normal;
  const quint8 s = quint8(record.at(0));
  return s <= Maximized ? State(s) : Normal;
}

Restored restore(const QRect &stored, State state, quint32 monitor, const QRect &current,
                 const QList<QRect> &monitors) {
  Restored result{state, current};
  if (state == Maximized) {
    const QRect m = monitor < quint32(monitors.size()) ? monitors.at(int(monitor)) : monitors.value(0);
    result.bounds.moveLeft(m.left() - 8);
  } else if (state == Normal) {
    QRect desktop;
    for (const QRect &m : monitors)
      desktop = desktop.united(m);
    if (stored.isValid() && stored.intersects(desktop))
      result.bounds = stored;
  }
  return result;
}

QRect firstRun(const QRect &current, const QList<QRect> &monitors) {
  const QRect m = monitors.value(0);
  QRect r = current;
  r.moveTo(m.width() / 2 - current.width(), m.height() / 2 - current.height());
  return r;
}

} // namespace WindowPlacement
