// The port manager's reaction to USB devices coming and going, and the COM port of a USB device.
#include "gateway/GatewayProtocol.h"
#include "gateway/PortManager.h"

#include "common/TextUtils.h"
#include "gateway/UsbNotifier.h"
#include "platform/Clock.h"
#include "platform/UsbDeviceTable.h"

namespace {
// Format(text, [value]) with the one %s of the translation.
QString formatOne(QString text, const QString &value) {
  const qsizetype at = text.indexOf(QStringLiteral("%s"));
  if (at < 0)
    return text;
  return text.replace(at, 2, value);
}

// The text between the first "(" and the first ")" of a friendly name; nullopt without both.
std::optional<QString> bracketed(const QString &name) {
  const qsizetype open = name.indexOf(QLatin1Char('('));
  const qsizetype close = name.indexOf(QLatin1Char(')'));
  if (open < 0 || close < 0)
    return std::nullopt;
  // A ")" before the "(" encloses nothing.
  return close > open ? name.mid(open + 1, close - open - 1) : QString();
}
} // namespace

QString PortManager::findUSBComePort(const QString &USBDeviceName) {
  QString result;
  const QStringList parts = USBDeviceName.split(QLatin1Char('#'));
  const QString identification = parts.size() >= 3 ? parts.at(1) : QString();
  const std::optional<QList<UsbDeviceTable::Device>> table = UsbDeviceTable::instance().devices();
  if (!table || identification.isEmpty())
    return result;
  for (const UsbDeviceTable::Device &device : *table) {
    if (!ContainsSubstringIgnoreCase(device.name, identification))
      continue;
    for (const UsbDeviceTable::Instance &instance : device.instances)
      if (const std::optional<QString> port = bracketed(instance.friendlyName))
        result = *port;
  }
  return result;
}

void PortManager::onUsbArrival(TUsbNotifier *, const QString &USBDeviceName) {
  if (usbSwitchOffered() && !usbOffersHeld)
    offerUsbPort(USBDeviceName);
  if (doComOpen) {
    TimerUsbCheck->setEnabled(false);
    tellOwner(Delivery::Send, 0, 0);
    COM->DonePort();
    COM->InitPort();
  } else {
    log(QStringLiteral("USBcome aber nicht connected also nichts tun"));
  }
}

bool PortManager::usbSwitchOffered() const {
  const std::optional<QString> detect = translate(QStringLiteral("kvSerialDetectUSBCome"));
  return detect && IsTrueText(detect->toLower());
}

void PortManager::offerUsbPort(const QString &USBDeviceName) {
  log(QStringLiteral("#### ") + USBDeviceName);
  const QString portName = findUSBComePort(USBDeviceName);
  log(QStringLiteral("#### ") + portName);
  // A device without a port of its own (a mouse) or an unusable port name ends the offer here.
  bool ok = false;
  const int n = portName.mid(3).toInt(&ok);
  if (!ok || n == COM->ComNumber())
    return;
  const QString text =
      formatOne(translate(QStringLiteral("kvSerialUseUSBCome")).value_or(QString()), portName);
  const QString caption = translate(QStringLiteral("kvSerialHint")).value_or(QString());
  if (!front.confirm || !front.confirm(text, caption))
    return;
  try {
    switchToUsbPort(portName);
  } catch (...) {
  }
}

void PortManager::switchToUsbPort(const QString &portName) {
  if (front.showChoice)
    front.showChoice(portName);
  ApplySettings(portName);
  COM->DonePort();
  COM->InitPort();
  postMessage(callerHandle, WM_COM_SETTINGS_CHANGED, 0, 0);
}

void PortManager::onUsbRemoval(TUsbNotifier *, const QString &USBDeviceName) {
  log(QStringLiteral("USBgo ++++++++++++++++++++++++++++++"));
  if (doComOpen) {
    log(QStringLiteral("--- ") + USBDeviceName);
    TimerUsbCheck->setEnabled(true);
  } else {
    log(QStringLiteral("USBgo aber nicht connected also kein Timer starten"));
  }
  tellOwner(Delivery::Post, 0, Gateway::WaitState::UsbRemoved);
}

void PortManager::TimerUsbCheckTimer() {
  log(QStringLiteral("TimerUsbCheckTimer"));
  ++TimerUsbCheck->tag;
  tellOwner(Delivery::Post, quint32(TimerUsbCheck->tag), 0);
}
