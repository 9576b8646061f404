#include "platform/Monitors.h"

#include "platform/Seam.h"

#include <QGuiApplication>
#include <QScreen>

#include <limits>

namespace {

qint64 distance(const QRect &a, const QRect &b) {
  const qint64 dx = qMax<qint64>(0, qMax<qint64>(qint64(a.left()) - b.right(), qint64(b.left()) - a.right()));
  const qint64 dy = qMax<qint64>(0, qMax<qint64>(qint64(a.top()) - b.bottom(), qint64(b.top()) - a.bottom()));
  return dx * dx + dy * dy;
}
} // namespace

Monitors &Monitors::instance() {
  return Seam<Monitors>::instance<QtScreens>();
}

void Monitors::setInstance(Monitors *monitors) {
  Seam<Monitors>::installed = monitors;
}

QRect Monitors::desktop() const {
  QRect all;
  for (const QRect &m : monitors())
    all = all.united(m);
  return all;
}

int Monitors::nearest(const QRect &r) const {
  const QList<QRect> list = monitors();
  int best = 0;
  qint64 bestArea = 0;
  for (int i = 0; i < list.size(); ++i) {
    const QRect shared = list.at(i).intersected(r);
    const qint64 area = shared.isEmpty() ? 0 : qint64(shared.width()) * shared.height();
    if (area > bestArea) {
      bestArea = area;
      best = i;
    }
  }
  if (bestArea > 0)
    return best;
  qint64 bestDistance = std::numeric_limits<qint64>::max();
  for (int i = 0; i < list.size(); ++i) {
    const qint64 d = distance(list.at(i), r);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

QList<QRect> QtScreens::monitors() const {
  QList<QRect> list;
  for (QScreen *screen : QGuiApplication::screens())
    list << screen->geometry();
  return list;
}
