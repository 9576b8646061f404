#include "ui/StatusBar.h"

#include "ui/FontScale.h"

#include <QPaintEvent>
#include <QPainter>

namespace {
const int kDesignHeight = 19;
const int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
} // namespace

TStatusBar::TStatusBar(QWidget *parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
  setFixedHeight(FontScale::scaled(kDesignHeight, this));
}

int TStatusBar::textFlags() {
  return kTextFlags;
}

void TStatusBar::fitHeight() {
  // A text that does not fit the panel's width goes on to further lines, and the bar grows for
  // them: every state the program reports is readable whole.
  int height = FontScale::scaled(kDesignHeight, this);
  for (int i = 0; i < m_panels.size(); ++i) {
    const QRect r = panelRect(i).adjusted(2, 0, 0, 0);
    const QRect needed =
        fontMetrics().boundingRect(QRect(0, 0, qMax(1, r.width()), 100000), kTextFlags, m_panels.at(i).text);
    height = qMax(height, needed.height() + 4);
  }
  if (height != this->height())
    setFixedHeight(height);
}

void TStatusBar::resizeEvent(QResizeEvent *event) {
  QStatusBar::resizeEvent(event);
  fitHeight();
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
  fitHeight();
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
      painter.drawText(r.adjusted(2, 0, 0, 0), kTextFlags, m_panels.at(i).text);
    }
    painter.restore();
  }
}
