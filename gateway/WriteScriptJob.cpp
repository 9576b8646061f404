#include "gateway/WriteScriptJob.h"

#include "gateway/ConfigDownload.h"
#include "gateway/DebugDownload.h"
#include "gateway/GatewayLink.h"
#include "platform/Clock.h"

namespace {
namespace Search = Gateway::Search;
using Failure = GatewayReport::Failure;
} // namespace

WriteScriptJob::WriteScriptJob(GatewayLink &link, QString path, QString portSetting)
    : m_link(link), m_report(link.report()), m_path(std::move(path)), m_portSetting(std::move(portSetting)) {}

bool WriteScriptJob::fail(Failure failure, const QString &message) {
  GatewayReport::Outcome outcome;
  outcome.failure = failure;
  outcome.message = message;
  outcome.severity = GatewayReport::Severity::Warning;
  m_report.outcome(outcome);
  return false;
}

LinkWait WriteScriptJob::debugAnswerSent() {
  // The answer to the debug interface goes out before the next search byte, as if the line had
  // been held for its pause.
  return m_link.until([this] { return !m_link.debugAnswerPending(); }, Search::DebugAnswerPauseMs + 1);
}

Task<void> WriteScriptJob::search() {
  m_link.beginSearch();
  m_report.phase(GatewayReport::Phase::Searching);
  m_link.send(Gateway::TestGateway);
  co_await m_link.pause(Search::FirstPauseMs);
  Clock &clock = Clock::instance();
  const quint64 start = clock.nowMs();
  do {
    if (m_link.debugAnswerPending())
      co_await debugAnswerSent();
    m_link.send(Gateway::TestGateway);
    co_await m_link.pause(Search::IntervalMs);
  } while (m_link.Datarec && clock.nowMs() - start < Search::LimitMs);
  // A block that came in the last pause is answered before anything else goes out.
  if (m_link.debugAnswerPending())
    co_await debugAnswerSent();
  m_report.phase(GatewayReport::Phase::SearchEnded);
}

Task<void> WriteScriptJob::askForRestart() {
  m_report.gatewayState(QStringLiteral("Not connected"));
  if (!m_report.question(QStringLiteral("Restart KORVANE and confirm.")))
    co_return;
  if (m_link.debugAnswerPending())
    co_await debugAnswerSent();
  m_link.send(Gateway::TestGateway);
  co_await m_link.pause(Search::FirstPauseMs);
  co_await m_link.until(
      [this] { return m_link.receivedContains(Gateway::ReplyOkOk, Qt::CaseInsensitive) || !m_link.Datarec; },
      afterRestartLimitMs);
}

Task<bool> WriteScriptJob::run() {
  co_await search();
  if (m_link.Datarec)
    co_await askForRestart();
  // A debug interface's block that came with the decisive reply is still to be answered: the
  // answer goes out, and counts, before the decision, never inside the download that follows.
  if (m_link.debugAnswerPending())
    co_await debugAnswerSent();
  if (m_link.Datarec) {
    m_report.gatewayState(QStringLiteral("Device not found"));
    co_return fail(Failure::NoGateway, QStringLiteral("No data received,\r\ncheck device is in configuration "
                                                      "mode,\r\nthe serial port set and connection."));
  }
  bool written = false;
  if (!m_link.DebugReceived) {
    m_link.log(QStringLiteral("Program file Config"));
    ConfigDownload download(m_link, m_portSetting);
    download.reopenOnWriteError = reopenOnWriteError;
    download.image = image;
    written = co_await download.programfile(m_path);
  } else {
    written = co_await writeOnDebugInterface();
  }
  m_link.RcvString.clear();
  co_return written;
}

Task<bool> WriteScriptJob::writeOnDebugInterface() {
  if (m_link.Configset)
    co_return fail(Failure::DebugConfigMode,
                   QStringLiteral("Device connected to debug but started in configuration mode!\r\n"
                                  "Set Device to run mode and try again"));
  // A search that "OKOK" ended can no longer see the greeting: wait for it, but not forever.
  if (!co_await m_link.until([this] { return m_link.IMessageCompleted; }, Search::GreetingLimitMs)) {
    m_report.gatewayState(QStringLiteral("Device not found"));
    co_return fail(Failure::NoGateway,
                   QStringLiteral("The gateway's debug interface answered but did not complete its greeting. "
                                  "Restart KORVANE and try again."));
  }
  m_link.log(QStringLiteral("Program file Debug"));
  DebugDownload download(m_link);
  download.image = image;
  co_return co_await download.programfileDebug(m_path);
}
