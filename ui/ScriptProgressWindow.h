#pragma once

#include "common/WindowMessages.h"

#include <QWidget>

class QLabel;
class QProgressBar;

// The script programming state window: the steps and the progress of a script download. It
// tells its caller window when it is hidden, so the caller can store its placement.
class TScriptProgState : public QWidget {
  Q_OBJECT
public:
  explicit TScriptProgState(QWidget *parent = nullptr);

  QLabel *Label1;
  QProgressBar *ProgressBar1;
  // One line under the bar: how far the script has gone out and how long it will still take.
  QLabel *TransferLine;
  WindowHandle callerhandle = 0;

  // The bar's two styles: a position between 0 and the maximum, or a running marquee.
  void setProgressMarquee(bool marquee);

  // Bytes written of total, the percentage, and the time left at the rate measured so far.
  void setTransfer(qint64 done, qint64 total, quint64 elapsedMs);
  void clearTransfer();
  static QString transferText(qint64 done, qint64 total, quint64 elapsedMs);

protected:
  void hideEvent(QHideEvent *event) override;

private:
  void FormHide();
  int m_maximum = 100;
};
