#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// The small search window: a running bar while the main window looks for the gateway.
class TProgress : public QWidget {
  Q_OBJECT
public:
  explicit TProgress(QWidget *parent = nullptr);

  QLabel *lAction;
  QProgressBar *ProgressBar1;
  int xpos = 0;
  int ypos = 0;

  // Moves the window's top-left corner to xpos, ypos (screen coordinates).
  void doPositioning();

  // The window it is centred on at its first showing.
  QWidget *centreOn = nullptr;

protected:
  void showEvent(QShowEvent *event) override;

private:
  bool m_shownBefore = false;
};
