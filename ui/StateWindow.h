#pragma once

#include <QWidget>

#include "platform/Dialogs.h"

class LineMemo;
class QMenu;
class QAction;

// The state window: the program's log. Every step of a port operation, a device exchange or a
// download is one line. Closing it only hides it; it keeps collecting lines while hidden.
class TStatusFenster : public QWidget {
  Q_OBJECT
public:
  explicit TStatusFenster(QWidget *parent = nullptr);
  ~TStatusFenster() override;

  // Adds the entry as the new last line, then trims and scrolls.
  void logStringOnly(const QString &entry);
  // Removes one first line when the view holds more than maxLines, then shows the last line.
  void scrollToEnd();

  void clearstatewindow1Click();
  void Setnumberoflines1Click();
  void Savetofile1Click();

  LineMemo *Memo1;
  QMenu *PopupMenu1;
  QAction *clearstatewindow1;
  QAction *Setnumberoflines1;
  QAction *Savetofile1;
  Dialogs::FileDialog SaveDialog1;
  int maxLines = 1000;

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  void FormCreate();
  int m_sink = 0;
};
