#include "windows/StatusBar.h"

#include <QPaintEvent>
#include <QPainter>

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  setFixedHeight(19);
}

void TStatusBar::addPanel(int width, bool ownerDraw) {
  m_panels.append(Panel{width, QString(), ownerDraw});
}

QString TStatusBar::panelText(int index) const {
  return index >= 0 && index < m_panels.size() ? m_panels.at(index).text : QString();
}

void TStatusBar::setPanelText(int index, const QString &text) {
  if (index < 0 || index >= m_panels.size() || m_panels.at(index).text == text)
    return;
  m_panels[index].text = text;
  update(panelRect(index));
}

QRect TStatusBar::panelRect(int index) const {
  int left = 0;
  for (int i = 0; i < index && i < m_panels.size(); ++i)
    left += m_panels.at(i).width + 2;
  const bool last = index == m_panels.size() - 1;
  const int width = last ? qMax(0, this->width() - left) : m_panels.value(index).width;
  return QRect(left, 2, width, height() - 2);
}

void TStatusBar::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), palette().window());
  // Only the panels that need it are drawn: an owner's drawing may have side effects.
  for (int i = 0; i < m_panels.size(); ++i) {
    const QRect r = panelRect(i);
    if (!event->region().intersects(r))
      continue;
    painter.save();
    painter.setClipRect(r);
    if (m_panels.at(i).ownerDraw && OnDrawPanel) {
      OnDrawPanel(painter, i, r);
    } else {
      painter.setPen(palette().windowText().color());
      painter.drawText(r.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_panels.at(i).text);
    }
    painter.restore();
  }
}
