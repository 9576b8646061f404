#pragma once

#include "gateway/DownloadLink.h"
#include "platform/Dialogs.h"

#include <QMainWindow>

class QPushButton;
class QMenu;
class QAction;
class QPainter;
class TStatusBar;
class TSerialPort;
class TIndexStream;
class LanguageSelect;

// The main window: the "Write Script" button, the menu and the three-panel status bar.
class TForm1 : public QMainWindow {
  Q_OBJECT
public:
  explicit TForm1(QWidget *parent = nullptr);

  QPushButton *Button1;
  QMenu *File1;
  QAction *LoadFile1;
  QAction *N1;
  QAction *Exit1;
  QAction *Options1;
  QMenu *Help1;
  QAction *About1;
  TStatusBar *StatusBar1;
  Dialogs::FileDialog OpenDialog;

  LanguageSelect *language = nullptr;
  bool FirstActivation = true;
  qint32 waitingForCom = 0;
  bool IMessageCompleted = false;
  QByteArray RcvString;
  quint32 LastReceive = 0;
  bool Datarec = false;
  bool Configset = false;
  bool DebugReceived = false;
  bool autoLoad = false;
  QString Dateiname;
  // The parameters of the command line, without the program's name.
  QStringList commandLine;

  void LoadFile1Click();
  void Options1Click();
  void About1Click();
  void Exit1Click();
  void StatusBar1DrawPanel(QPainter &painter, int panel, const QRect &rect);

  void StoreWindowPlacement();
  void RestoreWindowPlacement();
  void onProgressHidden();

  // Runs the start-up sequence at the first activation; later activations do nothing.
  void FormActivate();

  // The serial port's receive event: collects the gateway's bytes and classifies its replies.
  void COMTriggerAvail(TSerialPort *sender, quint16 Count);
  void onWaitingForCom(quint32 wParam, qint32 lParam);
  void onComSettingsChanged();
  void onWriteReady(quint32 code);

  // Writes a script into a gateway on its configuration interface.
  bool programfile(const QString &path);
  // Writes a script into a running gateway on its debug interface.
  void programfileDebug(const QString &path);
  // "Write Script": finds the gateway and starts the matching download.
  void Button1Click();

  static const QString kRegistryKey;

protected:
  bool event(QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  void FormCreate();
  void FormDestroy();
  // The two passes over the command line; false when a parameter stops the start-up sequence.
  bool firstPass(int &level);
  bool secondPass(int level);
  void plainMessage(const QString &text, std::optional<QPoint> position = std::nullopt);
  // What the downloads need of this window and the port manager.
  DownloadLink downloadLink();
  void FormClose();
  bool storePlacement(QWidget *window, const QString &prefix);
  void restorePlacement(QWidget *window, const QString &prefix, bool firstRunWhenMissing);
  void reportSettingsProblem(const QString &problem);
  QStringList m_reportedProblems;

public:
  ~TForm1() override;
};
