#include "cli/TextTable.h"

#include <algorithm>

QString textTable(const QList<QStringList> &rows) {
  QList<qsizetype> widths;
  for (const QStringList &row : rows)
    for (qsizetype i = 0; i < row.size(); ++i) {
      if (widths.size() <= i)
        widths << 0;
      widths[i] = std::max(widths[i], row[i].size());
    }
  QString out;
  for (const QStringList &row : rows) {
    QString line;
    for (qsizetype i = 0; i < row.size(); ++i)
      line += i + 1 < row.size() ? row[i].leftJustified(widths[i] + 2) : row[i];
    out += line.trimmed() + QLatin1Char('\n');
  }
  return out;
}
