#pragma once

#include "gateway/GatewayReport.h"
#include "gateway/Task.h"
#include "platform/Dialogs.h"

#include <QMainWindow>

class ProgressPacer;
class QPushButton;
class QMenu;
class QAction;
class QPainter;
class TStatusBar;
class TSerialPort;
class TIndexStream;
class LanguageSelect;
class GatewayLink;
class StationLaunch;

// The main window: the "Write Script" button, the menu and the three-panel status bar. It is the
// front end of the gateway layer for its port: it shows what the line and its jobs report.
class TForm1 : public QMainWindow, public GatewayReport {
  Q_OBJECT
public:
  explicit TForm1(QWidget *parent = nullptr);

  QPushButton *Button1;
  QMenu *File1;
  QAction *LoadFile1;
  QAction *Station1;
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
  bool autoLoad = false;
  QString Dateiname;
  // The parameters of the command line, without the program's name.
  QStringList commandLine;
  // --station was given: the station window opens once the start-up has run.
  bool stationAtStart = false;

  void LoadFile1Click();
  // Opens the station window (File, Station..., or --station on the command line).
  void Station1Click();
  void Options1Click();
  void About1Click();
  void Exit1Click();
  void StatusBar1DrawPanel(QPainter &painter, int panel, const QRect &rect);

  void StoreWindowPlacement();
  void RestoreWindowPlacement();
  void onProgressHidden();

  // Runs the start-up sequence at the first activation; later activations do nothing.
  void FormActivate();

  // The line to the gateway on the port: the received text (RcvString, LastReceive) and the reply
  // flags (Datarec, DebugReceived, IMessageCompleted, Configset).
  GatewayLink *link();

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
  // Runs the event loop until the job has reported its outcome. Every job that writes to the port
  // starts here: while one runs, "Write Script" stays disabled and a second start is refused.
  template <class T> T runToEnd(Task<T> job);
  // A job runs on the port.
  bool m_writing = false;
  ProgressPacer *m_progress;
  GatewayLink *m_link = nullptr;
  StationLaunch *m_station;

  // What the gateway layer reports, shown in this window, its status bar and the state windows.
  void gatewayState(const QString &text) override;
  void stateText(const QString &text) override;
  void phase(Phase phase) override;
  void progress(qint64 done, qint64 total) override;
  void showProgress(qint64 done, qint64 total, quint64 elapsedMs);
  bool question(const QString &text) override;
  void outcome(const Outcome &outcome) override;
  void showSearchWindow();
  void FormClose();
  bool storePlacement(QWidget *window, const QString &prefix);
  void restorePlacement(QWidget *window, const QString &prefix, bool firstRunWhenMissing);
  void reportSettingsProblem(const QString &problem);
  QStringList m_reportedProblems;

public:
  ~TForm1() override;
};
