#include "gateway/DebugDownload.h"

#include "app/DelayWithMessages.h"
#include "common/TextUtils.h"
#include "gateway/idxStream.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "serialport/TSerialPort.h"
#include "windows/dProgress.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QWidget>

#include <memory>

namespace {
const quint8 kStart = 0x44; // "D"
const quint32 kHandshakeMs = 100;
const quint32 kBlockPointMs = 500;
const quint32 kLastDotMs = 200;
const quint32 kAnswerSilenceMs = 4000;
const quint32 kAfterAnswerSilenceMs = 1000;
// 16 bytes take 17 ms at 9600 baud: a buffer that does not drain in this time never will.
const quint32 kDrainLimitMs = 5000;
} // namespace

void DebugDownload::post(quint32 code) {
  postMessage(m.mainWindow, WM_WRITE_READY, code, 0);
}

bool DebugDownload::waitFor(char part, quint32 ms) {
  return WaitWithMessages([&] { return m.received->contains(part); }, ms);
}

bool DebugDownload::waitWhileTalking(quint32 ms, bool untilO) {
  Clock &clock = Clock::instance();
  // Every receive event moves LastReceive forward, so the wait ends only after ms of silence.
  auto silentFor = [&] { return quint32(clock.tickCount() - *m.lastReceive); };
  clock.processMessages();
  while (!(untilO && m.received->contains('O')) && silentFor() <= ms)
    clock.waitForEvents(clock.nowMs() + (ms - silentFor()) + 1);
  return m.received->contains('O');
}

void DebugDownload::programfileDebug(const QString &path) {
  TScriptProgState *state = m.stateWindow;
  state->setProgressMarquee(false);
  state->show();
  state->Label1->setText(QStringLiteral("Open file"));

  const QFileInfo file(path);
  if (!file.isFile()) {
    Dialogs::instance().messageBox(m.mainWindow, {QStringLiteral("File %1 does not exist!").arg(path),
                                                  QApplication::applicationName(), Dialogs::Icon::None,
                                                  Dialogs::Buttons::Ok, std::nullopt});
    state->hide();
    return;
  }
  auto Memory = std::make_unique<TIndexStream>();
  QString problem;
  if (file.size() > kMaxDebugScriptSize) {
    problem =
        QStringLiteral("File %1 has %2 bytes; a script file for the debug interface may have at most %3 "
                       "bytes. Nothing was sent.")
            .arg(path)
            .arg(file.size())
            .arg(kMaxDebugScriptSize);
  } else {
    try {
      Memory->LoadFromfile(path);
      if (Memory->UseSize() > kMaxDebugScriptSize)
        problem = QStringLiteral("File %1 grew beyond %2 bytes. Nothing was sent.")
                      .arg(path)
                      .arg(kMaxDebugScriptSize);
    } catch (const std::exception &e) {
      problem = QStringLiteral("File %1 cannot be read: %2").arg(path, QString::fromUtf8(e.what()));
    }
  }
  if (!problem.isEmpty()) {
    Dialogs::instance().messageBox(m.mainWindow, {problem, m.mainWindow->windowTitle(), Dialogs::Icon::Error,
                                                  Dialogs::Buttons::Ok, std::nullopt});
    post(WriteResult::AlreadyReported);
    state->hide();
    return;
  }

  const qint32 size = Memory->UseSize();
  m.log(QStringLiteral("Starte mit D"));
  m.port->PutChar(kStart);
  quint16 sum = 0;
  int counter = 32;
  state->ProgressBar1->setRange(0, qMax(0, size - 1));
  state->ProgressBar1->setValue(0);
  state->ProgressBar1->show();
  m.port->PutChar(quint8((size >> 8) & 0xff));
  m.port->PutChar(quint8(size & 0xff));

  m.log(QStringLiteral("Teste auf Handshake"));
  m.received->clear();
  const bool handshake = waitFor('.', kHandshakeMs);
  state->Label1->setText(handshake ? QStringLiteral("Programming with handshake...%1byte").arg(size)
                                   : QStringLiteral("Programming .."));
  m.log(QStringLiteral("Los gehts"));

  Clock &clock = Clock::instance();
  for (qint32 i = 0; i < size; ++i) {
    const quint8 byte = Memory->GetByteIDX(quint16(i));
    m.port->PutChar(byte);
    ++counter;
    state->ProgressBar1->setValue(i);
    if (i % 16 == 0)
      WaitWithMessages([&] { return m.port->OutBuffUsed() == 0; }, kDrainLimitMs);
    if (handshake && counter >= 128) {
      m.received->clear();
      const bool dot = waitFor('.', kBlockPointMs);
      counter = 0;
      if (!dot) {
        post(WriteResult::AlreadyReported);
        Dialogs::instance().messageBox(m.mainWindow, {QStringLiteral("Error writing script"),
                                                      QApplication::applicationName(), Dialogs::Icon::None,
                                                      Dialogs::Buttons::Ok, state->pos()});
        return;
      }
    } else if (!handshake && counter >= 128) {
      counter = 0;
    }
    sum = quint16(sum + byte);
  }

  if (handshake) {
    m.received->clear();
    waitFor('.', kLastDotMs);
  }

  state->Label1->setText(QStringLiteral("Finishing"));
  ProcessMessages();
  m.received->clear();
  m.port->FlushInBuffer();
  m.log(QStringLiteral("Send Checksum "));
  m.port->PutChar(quint8(sum >> 8));
  m.port->PutChar(quint8(sum & 0xff));
  ProcessMessages();
  m.log(QStringLiteral("Warten auf das O"));
  Memory.reset();

  *m.lastReceive = clock.tickCount();
  const bool answered = waitWhileTalking(kAnswerSilenceMs, true);
  state->ProgressBar1->hide();
  if (answered) {
    *m.lastReceive = clock.tickCount();
    m.log(QStringLiteral("Hab das O: ") + QString::fromLatin1(*m.received));
    waitWhileTalking(kAfterAnswerSilenceMs, false);
    post(WriteResult::Success);
  } else {
    Dialogs::instance().messageBox(
        m.mainWindow,
        {QStringLiteral("Error programming script \r\n") + QString::fromLatin1(*m.received),
         m.mainWindow->windowTitle(), Dialogs::Icon::Error, Dialogs::Buttons::Ok, std::nullopt});
    post(WriteResult::AlreadyReported);
  }
  state->hide();
}
