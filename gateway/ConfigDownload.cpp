#include "gateway/ConfigDownload.h"

#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "gateway/idxStream.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "serialport/TSerialPort.h"
#include "windows/dProgress.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <memory>

namespace {
const quint8 kTestGateway = 0x14;
const quint8 kEnterProgramming = 0x10;
const quint32 kGatewayTestMs = 1000;
const quint32 kHandshakeMs = 1000;
const quint32 kBlockPointMs = 500;
const quint32 kRestartMs = 15000;
// 32 characters take 33 ms at 9600 baud: a buffer that does not drain in this time never will.
const quint32 kDrainLimitMs = 5000;

QByteArray hexByte(quint8 byte) {
  return QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
}
} // namespace

bool ConfigDownload::waitFor(const QByteArray &part, quint32 ms, bool ignoreCase) {
  return WaitWithMessages(
      [&] {
        return ignoreCase ? ContainsSubstringIgnoreCase(*m.received, part)
                          : ContainsSubstring(*m.received, part);
      },
      ms);
}

bool ConfigDownload::drainOutput() {
  return WaitWithMessages([&] { return m.port->OutBuffUsed() == 0 || *m.waitingForCom != 0; }, kDrainLimitMs);
}

void ConfigDownload::post(quint32 code) {
  postMessage(m.mainWindow, WM_WRITE_READY, code, 0);
}

void ConfigDownload::message(const QString &text, int icon) {
  Dialogs::instance().messageBox(m.mainWindow, {text, m.mainWindow->windowTitle(), Dialogs::Icon(icon),
                                                Dialogs::Buttons::Ok, std::nullopt});
}

bool ConfigDownload::programfile(const QString &path) {
  *m.reopenOnWriteError = false;
  TScriptProgState *state = m.stateWindow;
  state->setProgressMarquee(false);
  state->setWindowTitle(m.mainWindow->windowTitle());
  state->Label1->setText(QStringLiteral("Testing gateway"));
  state->show();
  ProcessMessages();
  m.received->clear();

  const QString portChoice = m.portSetting();
  if (portChoice == QLatin1String("offline") || portChoice.isEmpty()) {
    const QString text = QStringLiteral("No port selected! Please check your settings and try again.");
    Dialogs::instance().messageBox(m.mainWindow, {text, QStringLiteral("Configuration problem"),
                                                  Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
    state->hide();
    m.mainWindow->show();
    m.setGatewayState(text);
    post(WriteResult::AlreadyReported);
    return false;
  }

  // The 16-bit byte index cannot reach further: refuse before the gateway is touched.
  const QFileInfo file(path);
  if (file.isFile() && file.size() > kMaxScriptSize) {
    message(QStringLiteral("File %1 has %2 bytes; a script file may have at most %3 bytes. Nothing was sent.")
                .arg(path)
                .arg(file.size())
                .arg(kMaxScriptSize),
            int(Dialogs::Icon::Error));
    state->hide();
    post(WriteResult::AlreadyReported);
    return false;
  }

  m.port->PutChar(kTestGateway);
  if (!waitFor("OK", kGatewayTestMs, false)) {
    const QString text = QStringLiteral("No gateway found! Please check your settings and try again.");
    message(text, int(Dialogs::Icon::Error));
    state->hide();
    m.mainWindow->show();
    m.setGatewayState(text);
    post(WriteResult::AlreadyReported);
    ProcessMessages();
    return false;
  }

  state->Label1->setText(QStringLiteral("Open file"));
  if (!file.exists() || file.isDir()) {
    message(QStringLiteral("File ") + path + QStringLiteral(" does not exist!"), int(Dialogs::Icon::Warning));
    state->hide();
    post(WriteResult::AlreadyReported);
    return false;
  }

  auto Memory = std::make_unique<TIndexStream>();
  try {
    Memory->LoadFromfile(path);
  } catch (const std::exception &e) {
    message(QStringLiteral("File %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what())),
            int(Dialogs::Icon::Error));
    state->hide();
    post(WriteResult::AlreadyReported);
    return false;
  }
  const qint32 size = Memory->UseSize();
  if (size > kMaxScriptSize) { // the file grew since it was measured
    message(QStringLiteral("File %1 has %2 bytes; a script file may have at most %3 bytes.")
                .arg(path)
                .arg(size)
                .arg(kMaxScriptSize),
            int(Dialogs::Icon::Error));
    state->hide();
    post(WriteResult::AlreadyReported);
    return false;
  }
  m.log(QStringLiteral("programming"));
  state->Label1->setText(QStringLiteral("Programming"));

  m.port->PutChar(kEnterProgramming);
  quint16 sum = 0;
  bool tolerantDone = false;
  m.received->clear();
  const bool handshake = waitFor(".", kHandshakeMs, false);

  int counter = 32;
  state->ProgressBar1->setRange(0, qMax(0, size - 1));
  state->ProgressBar1->setValue(0);
  state->ProgressBar1->show();

  for (qint32 i = 0; i < size; ++i) {
    if (*m.waitingForCom != 0) {
      message(QStringLiteral("Error programming ") + path, int(Dialogs::Icon::Warning));
      state->hide();
      post(WriteResult::AlreadyReported);
      return false;
    }
    const quint8 byte = Memory->GetByteIDX(quint16(i));
    m.port->PutString(hexByte(byte));
    ++counter;
    state->ProgressBar1->setValue(i);
    if (i % 16 == 0 && !drainOutput()) {
      message(QStringLiteral("Error programming ") + path +
                  QStringLiteral(": the port does not send (is the cable connected?)"),
              int(Dialogs::Icon::Warning));
      state->hide();
      post(WriteResult::AlreadyReported);
      return false;
    }
    if (handshake) {
      if (counter >= 96 && !tolerantDone) {
        m.received->clear();
        if (waitFor(".", kBlockPointMs, false))
          counter = 0;
        tolerantDone = true;
      }
      if (counter >= 128) {
        m.received->clear();
        const bool dot = waitFor(".", kBlockPointMs, false);
        counter = 0;
        if (!dot) {
          post(WriteResult::BlockNotAcknowledged);
          return false;
        }
      }
    } else if (counter >= 128) {
      counter = 0;
    }
    sum = quint16(sum + byte);
  }

  m.port->PutString('\n' + QByteArray::number(sum, 16).toUpper().rightJustified(4, '0') + '\n');

  Memory.reset();
  m.received->clear();
  m.log(QStringLiteral("Checksumme und dann macht das Gerät weiter"));
  state->Label1->setText(QString::fromLatin1(*m.received));
  m.log(QStringLiteral("WAIT for string restart"));
  m.received->clear();
  ProcessMessages();

  if (!waitFor("Restart", kRestartMs, true)) {
    post(WriteResult::NoRestart);
    return false;
  }
  DelayWithMessages(1000);
  m.received->clear();

  Clock &clock = Clock::instance();
  const quint64 restartStart = clock.nowMs();
  bool restarted = false;
  bool limitPassed = false;
  do {
    m.log(QStringLiteral("PutChar(^T) - warten auf Neustart mit OKOK"));
    ProcessMessages();
    m.port->PutChar(kTestGateway);
    DelayWithMessages(200);
    state->Label1->setText(QString::fromLatin1(*m.received));
    state->setProgressMarquee(true);
    ProcessMessages();
    restarted = ContainsSubstringIgnoreCase(*m.received, QByteArray("OKOK"));
    limitPassed = clock.nowMs() - restartStart >= kRestartMs;
  } while (!restarted && !limitPassed);

  if (restarted && !limitPassed) {
    state->Label1->setText(QStringLiteral("Device successfully restartet"));
    DelayWithMessages(100);
    m.log(QStringLiteral("SEND READY MSG SUCCESS"));
    post(WriteResult::Success);
    return true;
  }
  state->Label1->setText(QStringLiteral("Device did not restart "));
  m.log(QStringLiteral("SEND READY MSG error"));
  post(WriteResult::NoRestart);
  return false;
}
