#include "ui/FontScale.h"

#include <QFontMetrics>
#include <QString>
#include <QWidget>

#include <cmath>

namespace {
const double kDesignCharWidth = 5.0;
}

double FontScale::factor(const QWidget *widget) {
  // Measured on the characters the windows show (port numbers, states), not on the font's own
  // average, which some fonts report narrower than their digits.
  static const QString sample = QStringLiteral("0123456789abcdefghijklmnopqrstuvwxyz");
  const double width = widget->fontMetrics().horizontalAdvance(sample) / double(sample.size());
  return qMax(1.0, width / kDesignCharWidth);
}

int FontScale::scaled(int designPixels, const QWidget *widget) {
  return int(std::lround(designPixels * factor(widget)));
}
