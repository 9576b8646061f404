#pragma once

#include "common/WindowMessages.h"
#include "gateway/PortManager.h"
#include "gateway/PortSearch.h"
#include "gateway/UsbNotifier.h"
#include "serialport/TSerialPort.h"

#include <QWidget>

class ClockTimer;
class LanguageSelect;
class QComboBox;
class QLabel;
class QToolButton;

// The serial link manager's window: the port settings page and the messages addressed to the
// manager. The work is done by its PortManager; the members below name the manager's own, so
// COM->COM, COM->doComOpen and the rest reach the one state.
class TCOM : public QWidget {
  Q_OBJECT
public:
  explicit TCOM(QWidget *parent = nullptr);

  PortManager *const manager;

  TSerialPort *const COM;
  QWidget *kvSerialOptionCaption;
  QLabel *kvSerialOptionPortLabel;
  QComboBox *PortNumber;
  QToolButton *ButtonFindDeviceOnPort;
  ClockTimer *const TimerWaitingForCom;
  ClockTimer *const TimerUsbCheck;
  bool &doComOpen;
  TTriggerAvailEvent &OldReceiveProc;
  LanguageSelect *language = nullptr;
  QByteArray &StrWaitBuffer;
  WindowHandle &callerHandle;
  TUsbNotifier *const usbNotify;
  bool &reopenOnWriteError;

  using TWM_ComWaitMessage = PortManager::TWM_ComWaitMessage;
  static constexpr quint32 BroadcastComMessage = PortManager::BroadcastComMessage;

  // 9600 baud, 1 stop bit, 8 data bits, no parity.
  void StandardSerialOptions() { manager->StandardSerialOptions(); }
  // Closes the port, applies the port choice shown in PortNumber and the line settings and opens
  // the port unless the choice is "offline". Raises std::runtime_error("Error setting port
  // options") on failure.
  void ApplySettings();
  // The command line's port: ends a wait for the old port (see PortManager::usePort).
  void usePort(quint16 n) { manager->usePort(n); }
  // Rebuilds the port list: "offline", then every present port.
  void kvSerialOptionCaptionShow();

  void COMTriggerAvail(TSerialPort *CP, quint16 Count) { manager->COMTriggerAvail(CP, Count); }
  void ResetTriggerAvail(TSerialPort *CP, quint16 Count) { manager->search->ResetTriggerAvail(CP, Count); }
  void onComError(TSerialPort *Sender, qint32 errorCode) { manager->onComError(Sender, errorCode); }
  void onWaitingForCom() { manager->onWaitingForCom(); }
  void TimerWaitingForComTimer() { manager->TimerWaitingForComTimer(); }
  void reOpenCom() { manager->reOpenCom(); }

  // Probes every port of the list with 0x14 and returns the first whose device answers "OK", -1
  // when none does. The port stays open on the port found. Runs the event loop meanwhile.
  qint32 findPort();
  void ButtonFindDeviceOnPortClick();
  // The COM port name ("COM7") that the system gave the USB device, or empty.
  QString findUSBComePort(const QString &USBDeviceName) { return manager->findUSBComePort(USBDeviceName); }

  // Recognises "Broadcast COM"; false for every other message (default handling).
  bool DefaultHandler(WindowMessageEvent *Message) { return manager->DefaultHandler(Message); }
  void WM_ComWaitMessage(TWM_ComWaitMessage &Msg) { manager->WM_ComWaitMessage(Msg); }

  void onUsbArrival(TUsbNotifier *Sender, const QString &Name) { manager->onUsbArrival(Sender, Name); }
  void onUsbRemoval(TUsbNotifier *Sender, const QString &Name) { manager->onUsbRemoval(Sender, Name); }
  void TimerUsbCheckTimer() { manager->TimerUsbCheckTimer(); }

protected:
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void buildPortPage();
  void connectFront();
  void showChoice(const QString &choice);

  bool m_searching = false;
};
