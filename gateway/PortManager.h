#pragma once

#include "common/WindowMessages.h"
#include "platform/InstanceBus.h"
#include "serialport/TSerialPort.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ClockTimer;
class PortSearch;
class TUsbNotifier;

// The serial link manager without its window: owns the serial port, applies the port choice,
// reacts to port failures, waits for a vanished port, settles with other running copies who keeps
// waiting, and follows USB devices. It receives its own window messages (WM_WAITING_FOR_COM,
// WM_REOPEN_COM, "Broadcast COM") and reports to its owner (callerHandle) with WM_COM_WAIT_STATE.
// Nothing here waits: every reaction runs to its end and the owner's event loop does the rest.
class PortManager : public QObject {
  Q_OBJECT
public:
  // What only the front end can do.
  struct Front {
    // The translation of key; nullopt while no translator is assigned.
    std::function<std::optional<QString>(const QString &key)> translate;
    // An OK/Cancel question without icon; true for OK.
    std::function<bool(const QString &text, const QString &caption)> confirm;
    // The port choice is now this text; the port list shows it.
    std::function<void(const QString &choice)> showChoice;
  };

  // "Broadcast COM" as another copy's port manager receives it. Handle and Sender.handle are the
  // announcing manager's handle; Sender.process tells running copies apart.
  struct TWM_ComWaitMessage {
    quint32 Msg;
    WindowHandle Handle;
    qint32 ComNumber;
    qint32 Result;
    InstanceId Sender;
  };
  // The number of the registered message "Broadcast COM". Here the announcement travels by name
  // on the session bus, so the number only has to be one of the registered range.
  static constexpr quint32 BroadcastComMessage = 0xC000;

  explicit PortManager(QObject *parent = nullptr);

  TSerialPort *COM;
  ClockTimer *TimerWaitingForCom;
  ClockTimer *TimerUsbCheck;
  bool doComOpen = false;
  bool reopenOnWriteError = true;
  // Another window of the program (the station) uses the ports now: an adapter that arrives is not
  // offered as this port.
  bool usbOffersHeld = false;
  WindowHandle callerHandle = 0;
  TUsbNotifier *usbNotify;
  PortSearch *search;
  Front front;
  // Where this manager's log lines go; the program's log when empty.
  std::function<void(const QString &line)> logLine;

  // This manager among all running copies' managers.
  InstanceId identity() const;

  // 9600 baud, 1 stop bit, 8 data bits, no parity.
  void StandardSerialOptions();
  // Closes the port, applies choice ("offline", "COM<n>" or empty) and the line settings and opens
  // the port unless the choice is "offline". Raises std::runtime_error("Error setting port
  // options") on failure.
  void ApplySettings(const QString &choice);
  // The port that a choice ("COM7") names; nothing for "offline" or a choice without a number.
  static std::optional<quint16> portOfChoice(const QString &choice);
  // Port n replaces the port in use (the command line's /P): a wait for the old port ends, and when
  // the program was waiting for a port it opens this one instead.
  void usePort(quint16 n);
  // Opens port n with the line settings, whatever its number (a front end without a port list).
  void openPort(quint16 n);

  void COMTriggerAvail(TSerialPort *CP, quint16 Count);
  void onComError(TSerialPort *Sender, qint32 errorCode);
  void onWaitingForCom();
  void TimerWaitingForComTimer();
  void reOpenCom();
  // Recognises "Broadcast COM"; false for every other message (default handling).
  bool DefaultHandler(WindowMessageEvent *Message);
  void WM_ComWaitMessage(TWM_ComWaitMessage &Msg);
  // Handles the manager's own window messages; false for every other.
  bool dispatch(WindowMessageEvent *message);

  // The COM port name ("COM7") that the system gave the USB device, or empty.
  static QString findUSBComePort(const QString &USBDeviceName);
  void onUsbArrival(TUsbNotifier *Sender, const QString &USBDeviceName);
  void onUsbRemoval(TUsbNotifier *Sender, const QString &USBDeviceName);
  void TimerUsbCheckTimer();

protected:
  bool event(QEvent *event) override;

private:
  enum class Delivery { Send, Post };

  void log(const QString &line);
  std::optional<QString> translate(const QString &key) const;
  void tellOwner(Delivery how, quint32 counter, qint32 state);
  void applyChoice(const QString &choice);
  void applyLine();
  void openChosenPort();
  void stopWaiting(const QString &reason, qint32 state);
  void reopenAfterWait();
  void blinkAndAnnounce();
  void announceWait();
  void onAnnounced(quint64 senderProcess, quint32 senderHandle, qint32 port);
  bool usbSwitchOffered() const;
  void offerUsbPort(const QString &USBDeviceName);
  void switchToUsbPort(const QString &portName);

  InstanceBus *m_bus;
  bool m_busReported = false;
  // The counter that the owner was told last: non-zero while it shows a wait or a stop.
  quint32 m_ownerCounter = 0;

  struct LineSettings {
    qint32 baud = 9600;
    quint16 stopBits = 1;
    quint16 dataBits = 8;
    TParity parity = pNone;
  } m_line;
};
