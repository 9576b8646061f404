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
  WindowHandle callerhandle = 0;

  // The bar's two styles: a position between 0 and the maximum, or a running marquee.
  void setProgressMarquee(bool marquee);

protected:
  void hideEvent(QHideEvent *event) override;

private:
  void FormHide();
  int m_maximum = 100;
};
