#include "ui/SearchWindow.h"

#include "platform/Monitors.h"

#include <QLabel>
#include <QProgressBar>
#include <QShowEvent>

TProgress::TProgress(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("Progress"));
  setWindowTitle(QStringLiteral("Debugger"));
  setFixedSize(399, 64);

  lAction = new QLabel(this);
  lAction->setObjectName(QStringLiteral("lAction"));
  lAction->move(8, 8);
  QFont font = lAction->font();
  font.setPixelSize(13);
  lAction->setFont(font);
  lAction->resize(385, 20);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(8, 32, 385, 17);
  ProgressBar1->setTextVisible(false);
}

void TProgress::doPositioning() {
  move(xpos, ypos);
}

void TProgress::showEvent(QShowEvent *event) {
  if (!event->spontaneous() && !m_shownBefore) {
    m_shownBefore = true;
    if (centreOn) {
      // Centred on the main window, but not left of or above the desktop.
      const QRect main = centreOn->frameGeometry();
      const QRect desktop = Monitors::instance().desktop();
      const QSize size = frameGeometry().size();
      move(qMax(desktop.left(), main.left() + (main.width() - size.width()) / 2),
           qMax(desktop.top(), main.top() + (main.height() - size.height()) / 2));
    }
  }
  QWidget::showEvent(event);
}
