#include "ui/station/ProgressDelegate.h"

#include "ui/station/SlotTableModel.h"

#include <QApplication>
#include <QPainter>

void ProgressDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                             const QModelIndex &index) const {
  QStyleOptionProgressBar bar;
  bar.rect = option.rect.adjusted(2, 2, -2, -2);
  bar.minimum = 0;
  bar.maximum = 100;
  bar.progress = index.data(SlotTableModel::PercentRole).toInt();
  bar.text = index.data(Qt::DisplayRole).toString();
  bar.textVisible = true;
  // On the bar, not beside it: the Windows styles leave a narrow column's bar almost no room otherwise.
  bar.textAlignment = Qt::AlignCenter;
  bar.state = option.state | QStyle::State_Horizontal;
  bar.palette = option.palette;
  bar.fontMetrics = option.fontMetrics;
  QStyle *style = option.widget ? option.widget->style() : QApplication::style();
  if (option.state & QStyle::State_Selected)
    painter->fillRect(option.rect, option.palette.highlight());
  style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
}
