// The port manager's searches: the port on which the gateway answers, and the COM port that the
// system gave a USB device.
#include "seriallink/KV_Serial.h"

#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "platform/Clock.h"
#include "platform/UsbDeviceTable.h"

#include <QApplication>
#include <QComboBox>
#include <QToolButton>

#include <stdexcept>

qint32 TCOM::findPort() {
  OldReceiveProc = COM->OnTriggerAvail();
  COM->SetOnTriggerAvail([this](TSerialPort *cp, quint16 count) { ResetTriggerAvail(cp, count); });
  qint32 result = -1;
  ProcessMessages();
  Clock &clock = Clock::instance();
  for (int i = 1; i < PortNumber->count(); ++i) {
    try {
      QString numberText = PortNumber->itemText(i);
      numberText.remove(QStringLiteral("COM"));
      if (COM->Open())
        COM->SetOpen(false);
      ProcessMessages();
      bool ok = false;
      const int n = numberText.toInt(&ok);
      if (!ok || n < 0 || n > 0xffff)
        throw std::runtime_error("not a port number");
      COM->SetComNumber(quint16(n));
      try {
        COM->SetOpen(true);
      } catch (...) {
        continue;
      }
      // A port that did not open has already been reported; a probe byte would only add a
      // "not open" failure and start a wait for a port nobody asked for.
      if (!COM->Open())
        continue;
      StrWaitBuffer.clear();
      COM->PutChar(0x14);
      const auto answered = [this] { return ContainsSubstringIgnoreCase(StrWaitBuffer, QByteArray("OK")); };
      const quint64 deadline = clock.nowMs() + 200;
      while (!answered() && clock.nowMs() < deadline)
        clock.waitForEvents(deadline);
      if (answered()) {
        result = COM->ComNumber();
        COM->SetOnTriggerAvail(OldReceiveProc);
        return result;
      }
    } catch (...) {
      result = -1;
    }
  }
  COM->SetOnTriggerAvail(OldReceiveProc);
  ProcessMessages();
  return -1;
}

void TCOM::ButtonFindDeviceOnPortClick() {
  // The search handles clicks while it waits; a second search inside the first would save the
  // borrowed receive handler as the one to give back, and the owner would lose its own.
  if (m_searching)
    return;
  m_searching = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  qint32 n = -1;
  try {
    n = findPort();
  } catch (...) {
  }
  const int item = n >= 1 ? PortNumber->findText(QStringLiteral("COM%1").arg(n)) : 0;
  if (item >= 0) {
    PortNumber->setCurrentIndex(item);
    // The box may already stand on that item with other text typed in.
    PortNumber->setEditText(PortNumber->itemText(item));
  }
  QApplication::restoreOverrideCursor();
  m_searching = false;
}

QString TCOM::findUSBComePort(const QString &USBDeviceName) {
  QString result;
  const QStringList parts = USBDeviceName.split(QLatin1Char('#'));
  const QString identification = parts.size() >= 3 ? parts.at(1) : QString();
  const std::optional<QList<UsbDeviceTable::Device>> table = UsbDeviceTable::instance().devices();
  if (!table || identification.isEmpty())
    return result;
  for (const UsbDeviceTable::Device &device : *table) {
    if (!ContainsSubstringIgnoreCase(device.name, identification))
      continue;
    for (const UsbDeviceTable::Instance &instance : device.instances) {
      const QString &name = instance.friendlyName;
      const qsizetype open = name.indexOf(QLatin1Char('('));
      const qsizetype close = name.indexOf(QLatin1Char(')'));
      if (open < 0 || close < 0)
        continue;
      // A ")" before the "(" encloses nothing.
      result = close > open ? name.mid(open + 1, close - open - 1) : QString();
    }
  }
  return result;
}
