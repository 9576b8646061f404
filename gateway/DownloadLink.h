#pragma once

#include "common/WindowMessages.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;
class TScriptProgState;
class TSerialPort;

// What a download needs of the main window and the port manager: the port, the text the receive
// handler collects, the wait counter, the state window, and the way to tell the user.
struct DownloadLink {
  TSerialPort *port = nullptr;
  QByteArray *received = nullptr;           // RcvString, filled by the receive handler
  const qint32 *waitingForCom = nullptr;    // non-zero while the port manager waits for the port
  quint32 *lastReceive = nullptr;           // LastReceive, moved by every receive event
  bool *reopenOnWriteError = nullptr;       // the port manager's flag
  TScriptProgState *stateWindow = nullptr;  // the script programming state window
  QWidget *mainWindow = nullptr;            // parent of the message boxes, receiver of WM_WRITE_READY
  std::function<void(const QString &)> log; // a line in the state window
  std::function<QString()> portSetting;     // the setting "PortNumber"
  std::function<void(const QString &)> setGatewayState; // status panel 2
};

// The result codes that a download posts with WM_WRITE_READY.
namespace WriteResult {
constexpr quint32 Success = 0;
constexpr quint32 BlockNotAcknowledged = 1;
constexpr quint32 NoRestart = 2;
constexpr quint32 AlreadyReported = 99;
} // namespace WriteResult

// The largest script that the 16-bit byte index reaches.
constexpr qint64 kMaxScriptSize = 65536;
