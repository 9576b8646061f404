#include "station/StationCounters.h"

#include <QStringList>

QString StationCounters::text() const {
  return QStringLiteral("%1 %2 %3").arg(written).arg(failed).arg(total);
}

StationCounters StationCounters::parse(const QString &text) {
  const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (parts.size() != 3)
    return {};
  bool ok[3] = {};
  const StationCounters counters{parts[0].toUInt(&ok[0]), parts[1].toUInt(&ok[1]), parts[2].toUInt(&ok[2])};
  // A total below its parts is no count that this program kept.
  if (!ok[0] || !ok[1] || !ok[2] || quint64(counters.written) + counters.failed != counters.total)
    return {};
  return counters;
}
