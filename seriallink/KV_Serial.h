#pragma once

#include "common/WindowMessages.h"
#include "seriallink/uUsb.h"
#include "serialport/TSerialPort.h"

#include <QWidget>

class ClockTimer;
class InstanceBus;
class LanguageSelect;
class QComboBox;
class QLabel;
class QToolButton;

// The serial link manager: owns the serial port, applies the port choice and reacts to port
// failures. A top-level window that is never shown; it exists to receive window messages.
class TCOM : public QWidget {
  Q_OBJECT
public:
  explicit TCOM(QWidget *parent = nullptr);

  TSerialPort *COM;
  QWidget *kvSerialOptionCaption;
  QLabel *kvSerialOptionPortLabel;
  QComboBox *PortNumber;
  QToolButton *ButtonFindDeviceOnPort;
  ClockTimer *TimerWaitingForCom;
  ClockTimer *TimerUsbCheck;
  bool doComOpen = false;
  TTriggerAvailEvent OldReceiveProc;
  LanguageSelect *language = nullptr;
  QByteArray StrWaitBuffer;
  WindowHandle callerHandle = 0;
  TUsbNotifier *usbNotify;
  bool reopenOnWriteError = true;

  // "Broadcast COM" as another copy's port manager receives it.
  struct TWM_ComWaitMessage {
    quint32 Msg;
    WindowHandle Handle;
    qint32 ComNumber;
    qint32 Result;
  };
  // The number of the registered message "Broadcast COM". Here the announcement travels by name
  // on the session bus, so the number only has to be one of the registered range.
  static constexpr quint32 BroadcastComMessage = 0xC000;

  // 9600 baud, 1 stop bit, 8 data bits, no parity.
  void StandardSerialOptions();
  // Closes the port, applies the port choice and the line settings and opens the port unless the
  // choice is "offline". Raises std::runtime_error("Error setting port options") on failure.
  void ApplySettings();
  // Rebuilds the port list: "offline", then every present port.
  void kvSerialOptionCaptionShow();

  void COMTriggerAvail(TSerialPort *CP, quint16 Count);
  void ResetTriggerAvail(TSerialPort *CP, quint16 Count);
  void onComError(TSerialPort *Sender, qint32 errorCode);
  void onWaitingForCom();
  void TimerWaitingForComTimer();
  void reOpenCom();

  // Probes every port of the list with 0x14 and returns the first whose device answers "OK", -1
  // when none does. The port stays open on the port found.
  qint32 findPort();
  void ButtonFindDeviceOnPortClick();
  // The COM port name ("COM7") that the system gave the USB device, or empty.
  QString findUSBComePort(const QString &USBDeviceName);

  // Recognises "Broadcast COM"; false for every other message (default handling).
  bool DefaultHandler(WindowMessageEvent *Message);
  void WM_ComWaitMessage(TWM_ComWaitMessage &Msg);

  void onUsbArrival(TUsbNotifier *Sender, const QString &USBDeviceName);
  void onUsbRemoval(TUsbNotifier *Sender, const QString &USBDeviceName);
  void TimerUsbCheckTimer();

protected:
  bool event(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void log(const QString &line);
  void announceWait();

  InstanceBus *m_bus;
  bool m_busReported = false;
  bool m_searching = false;

  struct LineSettings {
    qint32 baud = 9600;
    quint16 stopBits = 1;
    quint16 dataBits = 8;
    TParity parity = pNone;
  } m_line;
};
