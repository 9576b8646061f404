#include "ui/ScriptProgressWindow.h"

#include "ui/FontScale.h"

#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

TScriptProgState::TScriptProgState(QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName(QStringLiteral("ScriptProgState"));
  setWindowTitle(QStringLiteral("Script program state"));
  resize(FontScale::scaled(432, this), FontScale::scaled(123, this));
  move(274, 216);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  QFont font = Label1->font();
  font.setPixelSize(14);
  Label1->setFont(font);
  Label1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setFixedHeight(17);
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();

  TransferLine = new QLabel(this);
  TransferLine->setObjectName(QStringLiteral("TransferLine"));
  TransferLine->hide();

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(3);
  layout->addWidget(Label1, 1);
  layout->addWidget(ProgressBar1);
  layout->addWidget(TransferLine);
}

QString TScriptProgState::transferText(qint64 done, qint64 total, quint64 elapsedMs) {
  const qint64 percent = total > 0 ? done * 100 / total : 100;
  QString text = QStringLiteral("%1 of %2 bytes (%3 %)").arg(done).arg(total).arg(percent);
  // Below a second of data the rate says little.
  if (done <= 0 || done >= total || elapsedMs < 1000)
    return text;
  const qint64 leftSeconds = qint64(double(total - done) * double(elapsedMs) / double(done) / 1000.0 + 0.5);
  return text +
         QStringLiteral(", %1:%2 left").arg(leftSeconds / 60).arg(leftSeconds % 60, 2, 10, QLatin1Char('0'));
}

void TScriptProgState::setTransfer(qint64 done, qint64 total, quint64 elapsedMs) {
  TransferLine->setText(transferText(done, total, elapsedMs));
  TransferLine->show();
}

void TScriptProgState::clearTransfer() {
  TransferLine->clear();
  TransferLine->hide();
}

void TScriptProgState::setProgressMarquee(bool marquee) {
  if (marquee) {
    if (ProgressBar1->maximum() != 0)
      m_maximum = ProgressBar1->maximum();
    ProgressBar1->setRange(0, 0);
  } else if (ProgressBar1->maximum() == 0) {
    ProgressBar1->setRange(0, m_maximum);
  }
}

void TScriptProgState::hideEvent(QHideEvent *event) {
  QWidget::hideEvent(event);
  // Minimizing hides the window spontaneously; only an actual hide counts.
  if (!event->spontaneous())
    FormHide();
}

void TScriptProgState::FormHide() {
  postMessage(callerhandle, WM_PROGRESS_HIDDEN, 0, 0);
}
