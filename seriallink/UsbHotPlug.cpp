// The port manager's reaction to USB devices coming and going.
#include "seriallink/KV_Serial.h"

#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "language/Language.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>

#include <stdexcept>

namespace {
// Format(text, [value]) with the one %s of the translation.
QString formatOne(QString text, const QString &value) {
  const qsizetype at = text.indexOf(QStringLiteral("%s"));
  if (at < 0)
    return text;
  return text.replace(at, 2, value);
}
} // namespace

void TCOM::onUsbArrival(TUsbNotifier *, const QString &USBDeviceName) {
  if (language && IsTrueText(language->translate(QStringLiteral("kvSerialDetectUSBCome")).toLower())) {
    log(QStringLiteral("#### ") + USBDeviceName);
    const QString portName = findUSBComePort(USBDeviceName);
    log(QStringLiteral("#### ") + portName);
    // A device without a port of its own (a mouse) or an unusable port name ends the offer here.
    try {
      bool ok = false;
      const int n = portName.mid(3).toInt(&ok);
      if (!ok)
        throw std::runtime_error("no port number");
      if (n != COM->ComNumber()) {
        const int answer = Dialogs::instance().messageBox(
            this, {formatOne(language->translate(QStringLiteral("kvSerialUseUSBCome")), portName),
                   language->translate(QStringLiteral("kvSerialHint")), Dialogs::Icon::None,
                   Dialogs::Buttons::OkCancel, std::nullopt});
        if (answer == Dialogs::Ok) {
          PortNumber->setEditText(portName);
          const int item = PortNumber->findText(portName);
          if (item >= 0) {
            PortNumber->setCurrentIndex(item);
            PortNumber->update();
          }
          ApplySettings();
          COM->DonePort();
          ProcessMessages();
          COM->InitPort();
          postMessage(callerHandle, WM_COM_SETTINGS_CHANGED, 0, 0);
        }
      }
    } catch (...) {
    }
  }
  if (doComOpen) {
    TimerUsbCheck->setEnabled(false);
    sendMessage(callerHandle, WM_COM_WAIT_STATE, 0, 0);
    ProcessMessages();
    COM->DonePort();
    ProcessMessages();
    COM->InitPort();
  } else {
    log(QStringLiteral("USBcome aber nicht connected also nichts tun"));
  }
}

void TCOM::onUsbRemoval(TUsbNotifier *, const QString &USBDeviceName) {
  log(QStringLiteral("USBgo ++++++++++++++++++++++++++++++"));
  if (doComOpen) {
    log(QStringLiteral("--- ") + USBDeviceName);
    TimerUsbCheck->setEnabled(true);
  } else {
    log(QStringLiteral("USBgo aber nicht connected also kein Timer starten"));
  }
  postMessage(callerHandle, WM_COM_WAIT_STATE, 0, 49);
}

void TCOM::TimerUsbCheckTimer() {
  log(QStringLiteral("TimerUsbCheckTimer"));
  ++TimerUsbCheck->tag;
  postMessage(callerHandle, WM_COM_WAIT_STATE, quint32(TimerUsbCheck->tag), 0);
  ProcessMessages();
}
