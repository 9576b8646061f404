// The main window as the front end of the gateway layer: the downloads' entry points, and what the
// line and its jobs report, shown in the status bar, the state windows and message boxes.
#include "app/MainWindow.h"

#include "app/ProgramWindows.h"
#include "app/ProgressPacer.h"
#include "app/WindowTrace.h"
#include "gateway/ConfigDownload.h"
#include "gateway/DebugDownload.h"
#include "gateway/GatewayLink.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

#include <exception>

namespace {
Dialogs::Icon iconOf(GatewayReport::Severity severity) {
  switch (severity) {
  case GatewayReport::Severity::Warning:
    return Dialogs::Icon::Warning;
  case GatewayReport::Severity::Error:
    return Dialogs::Icon::Error;
  case GatewayReport::Severity::None:
    break;
  }
  return Dialogs::Icon::None;
}

QString portName(quint16 com) {
  return com == 0 ? QString() : QStringLiteral("COM%1").arg(com);
}
} // namespace

template <class T> T TForm1::runToEnd(Task<T> job) {
  // One job at a time on the port, whoever starts it: a second one would put its bytes into the
  // first one's data. "Write Script" stays disabled until the job has ended.
  if (m_writing) {
    Log::line(QStringLiteral("A script is being written: the new start is refused"));
    return T();
  }
  m_writing = true;
  Button1->setEnabled(false);
  const auto done = qScopeGuard([this] {
    m_writing = false;
    Button1->setEnabled(true);
    while (QApplication::overrideCursor())
      QApplication::restoreOverrideCursor();
  });
  // The window keeps handling its messages while the job runs, as it does while it waits.
  job.start();
  Clock::instance().waitUntil([&job] { return job.finished(); });
  try {
    return job.result();
  } catch (const std::exception &e) {
    Log::line(QStringLiteral("Error programming: ") + QString::fromUtf8(e.what()));
    if constexpr (!std::is_void_v<T>)
      return T();
  }
}

bool TForm1::programfile(const QString &path) {
  ConfigDownload download(*link(), Options->GetProp(QStringLiteral("PortNumber")));
  download.reopenOnWriteError = &COM->reopenOnWriteError;
  WindowTrace trace(*link(), portName(COM->COM->ComNumber()), path);
  const bool written = runToEnd(download.programfile(path));
  trace.finish();
  return written;
}

void TForm1::programfileDebug(const QString &path) {
  DebugDownload download(*link());
  WindowTrace trace(*link(), portName(COM->COM->ComNumber()), path);
  runToEnd(download.programfileDebug(path));
  trace.finish();
}

template bool TForm1::runToEnd(Task<bool>);

void TForm1::gatewayState(const QString &text) {
  StatusBar1->setPanelText(2, text);
}

void TForm1::stateText(const QString &text) {
  ScriptProgState->Label1->setText(text);
}

void TForm1::phase(Phase phase) {
  WindowTrace::phase(phase);
  switch (phase) {
  case Phase::Searching:
    showSearchWindow();
    break;
  case Phase::SearchEnded:
    Progress->hide();
    break;
  case Phase::Testing:
    ScriptProgState->clearTransfer();
    ScriptProgState->setProgressMarquee(false);
    ScriptProgState->setWindowTitle(windowTitle());
    ScriptProgState->show();
    break;
  case Phase::Programming:
    if (ScriptProgState->isHidden())
      ScriptProgState->clearTransfer();
    ScriptProgState->setProgressMarquee(false);
    ScriptProgState->show();
    break;
  case Phase::Restarting:
    ScriptProgState->setProgressMarquee(true);
    break;
  case Phase::AnswerAwaited:
    ScriptProgState->ProgressBar1->hide();
    break;
  case Phase::Finishing:
    break;
  }
}

void TForm1::progress(qint64 done, qint64 total) {
  WindowTrace::progress(done);
  if (done != 0) {
    m_progress->update(done, total);
    return;
  }
  QProgressBar *bar = ScriptProgState->ProgressBar1;
  bar->setRange(0, int(qMax<qint64>(0, total - 1)));
  bar->setValue(0);
  bar->show();
  m_progress->begin();
  ScriptProgState->setTransfer(0, total, 0);
}

void TForm1::showProgress(qint64 done, qint64 total, quint64 elapsedMs) {
  ScriptProgState->ProgressBar1->setValue(int(done - 1));
  ScriptProgState->setTransfer(done, total, elapsedMs);
}

bool TForm1::question(const QString &text) {
  return Dialogs::instance().messageBox(this, {text, windowTitle(), Dialogs::Icon::None, Dialogs::Buttons::Ok,
                                               std::nullopt}) == Dialogs::Ok;
}

void TForm1::outcome(const Outcome &outcome) {
  WindowTrace::outcome(outcome);
  if (!outcome.message.isEmpty()) {
    const std::optional<QPoint> at =
        outcome.atStateWindow ? std::optional<QPoint>(ScriptProgState->pos()) : std::nullopt;
    Dialogs::instance().messageBox(this, {outcome.message,
                                          outcome.caption.isEmpty() ? windowTitle() : outcome.caption,
                                          iconOf(outcome.severity), Dialogs::Buttons::Ok, at});
  }
  // A failure that posts a code ends the transfer's window; a debug download that found no file
  // posts nothing and leaves it up.
  if (!outcome.ok() && outcome.writeReady)
    ScriptProgState->hide();
  if (outcome.failure == Failure::NoPort || (outcome.failure == Failure::NoGateway && outcome.writeReady))
    show();
  if (!outcome.gatewayState.isEmpty())
    StatusBar1->setPanelText(2, outcome.gatewayState);
  if (outcome.writeReady)
    postMessage(this, WM_WRITE_READY, *outcome.writeReady, 0);
}
