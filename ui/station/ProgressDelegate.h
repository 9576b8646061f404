#pragma once

#include <QStyledItemDelegate>

// Draws a slot's progress as the style's own progress bar, with the percentage written on it.
class ProgressDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
