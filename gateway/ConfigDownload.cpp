#include "gateway/ConfigDownload.h"

#include "gateway/GatewayLink.h"
#include "gateway/GatewayProtocol.h"
#include "gateway/ScriptFile.h"
#include "gateway/ScriptImage.h"
#include "platform/Clock.h"

#include <QDir>
#include <QFileInfo>

namespace {
using Failure = GatewayReport::Failure;
using Severity = GatewayReport::Severity;
namespace Config = Gateway::Config;
namespace Result = Gateway::WriteResult;

QByteArray hexByte(quint8 byte) {
  return QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
}

QByteArray checksumLine(quint16 sum) {
  return '\n' + QByteArray::number(sum, 16).toUpper().rightJustified(4, '0') + '\n';
}
} // namespace

ConfigDownload::ConfigDownload(GatewayLink &link, QString portSetting)
    : m_link(link), m_report(link.report()), m_portSetting(std::move(portSetting)) {}

bool ConfigDownload::fail(Failure failure, quint32 code, const QString &message, Severity severity,
                          const QString &gatewayState) {
  Outcome outcome;
  outcome.failure = failure;
  outcome.writeReady = code;
  outcome.message = message;
  outcome.severity = severity;
  outcome.gatewayState = gatewayState;
  if (failure == Failure::NoPort)
    outcome.caption = QStringLiteral("Configuration problem");
  m_report.outcome(outcome);
  return false;
}

bool ConfigDownload::refuseTooLarge(const QString &path, qint64 size, bool measuredBefore) {
  // The 16-bit byte index cannot reach further: refuse before the data go out.
  QString text = ScriptFile::tooLarge(path, size, Gateway::MaxScriptSize);
  if (!measuredBefore) // the file grew after it was measured: something may have gone out
    text.chop(QStringLiteral(" Nothing was sent.").size());
  return fail(Failure::ScriptFile, Result::AlreadyReported, text, Severity::Error);
}

Task<bool> ConfigDownload::programfile(QString path) {
  path = QDir::toNativeSeparators(path); // as the user knows it, in every message and log line
  if (reopenOnWriteError)
    *reopenOnWriteError = false;
  m_report.phase(GatewayReport::Phase::Testing);
  m_report.stateText(QStringLiteral("Testing gateway"));
  m_link.RcvString.clear();

  if (m_portSetting == QLatin1String("offline") || m_portSetting.isEmpty()) {
    const QString text = QStringLiteral("No port selected! Please check your settings and try again.");
    co_return fail(Failure::NoPort, Result::AlreadyReported, text, Severity::Error, text);
  }
  const QFileInfo file(path);
  if (const std::optional<qint64> size = sizeBeforeTest(file); size && *size > Gateway::MaxScriptSize)
    co_return refuseTooLarge(path, *size, true);

  m_link.send(Gateway::TestGateway);
  if (!co_await m_link.receivedWithin(Gateway::ReplyOk, Config::GatewayTestMs, Qt::CaseSensitive)) {
    const QString text = QStringLiteral("No gateway found! Please check your settings and try again.");
    co_return fail(Failure::NoGateway, Result::AlreadyReported, text, Severity::Error, text);
  }

  m_report.stateText(QStringLiteral("Open file"));
  TIndexStream Memory;
  if (!load(Memory, path, file))
    co_return false;
  m_link.log(QStringLiteral("programming"));
  m_report.phase(GatewayReport::Phase::Programming);
  m_report.stateText(QStringLiteral("Programming"));

  m_link.send(Gateway::EnterProgramming);
  m_link.RcvString.clear();
  const bool handshake =
      co_await m_link.receivedWithin(Gateway::ReplyDot, Config::HandshakeMs, Qt::CaseSensitive);
  quint16 sum = 0;
  if (!co_await sendData(Memory, path, handshake, sum))
    co_return false;

  m_link.send(checksumLine(sum));
  m_link.RcvString.clear();
  m_link.log(QStringLiteral("Checksumme und dann macht das Gerät weiter"));
  m_report.stateText(QString::fromLatin1(m_link.RcvString));
  m_link.log(QStringLiteral("WAIT for string restart"));
  m_link.RcvString.clear();
  co_return co_await restart();
}

std::optional<qint64> ConfigDownload::sizeBeforeTest(const QFileInfo &file) const {
  if (image)
    return image->size();
  return file.isFile() ? std::optional<qint64>(file.size()) : std::nullopt;
}

bool ConfigDownload::load(TIndexStream &Memory, const QString &path, const QFileInfo &file) {
  if (image) {
    Memory.LoadFromBytes(*image);
    return true;
  }
  if (!file.exists() || file.isDir())
    return fail(Failure::ScriptFile, Result::AlreadyReported, ScriptFile::missing(path), Severity::Warning);
  if (const QString problem = loadScript(Memory, path); !problem.isEmpty())
    return fail(Failure::ScriptFile, Result::AlreadyReported, problem, Severity::Error);
  if (Memory.UseSize() > Gateway::MaxScriptSize) // the file grew since it was measured
    return refuseTooLarge(path, Memory.UseSize(), false);
  return true;
}

Task<bool> ConfigDownload::sendData(TIndexStream &Memory, const QString &path, bool handshake, quint16 &sum) {
  const qint32 size = Memory.UseSize();
  int counter = Config::CounterStart;
  bool tolerantDone = false;
  m_report.progress(0, size);
  for (qint32 i = 0; i < size; ++i) {
    if (m_link.waitingForCom() != 0)
      co_return fail(Failure::Port, Result::AlreadyReported, QStringLiteral("Error programming ") + path,
                     Severity::Warning);
    const quint8 byte = Memory.GetByteIDX(quint16(i));
    m_link.send(hexByte(byte));
    ++counter;
    m_report.progress(i + 1, size);
    if (i % Gateway::DrainEvery == 0 && !co_await m_link.drained())
      co_return fail(Failure::Port, Result::AlreadyReported,
                     QStringLiteral("Error programming ") + path +
                         QStringLiteral(": the port does not send (is the cable connected?)"),
                     Severity::Warning);
    if (handshake && !co_await blockPoint(counter, tolerantDone))
      co_return fail(Failure::Transfer, Result::BlockNotAcknowledged, {}, Severity::None);
    if (!handshake && counter >= Config::BlockPoint)
      counter = 0;
    sum = quint16(sum + byte);
  }
  co_return true;
}

Task<bool> ConfigDownload::blockPoint(int &counter, bool &tolerantDone) {
  if (counter >= Config::TolerantPoint && !tolerantDone) {
    m_link.RcvString.clear();
    if (co_await m_link.receivedWithin(Gateway::ReplyDot, Config::BlockPointMs, Qt::CaseSensitive))
      counter = 0;
    tolerantDone = true;
  }
  if (counter < Config::BlockPoint)
    co_return true;
  m_link.RcvString.clear();
  const bool dot = co_await m_link.receivedWithin(Gateway::ReplyDot, Config::BlockPointMs, Qt::CaseSensitive);
  counter = 0;
  co_return dot;
}

Task<bool> ConfigDownload::restart() {
  if (!co_await m_link.receivedWithin(Gateway::ReplyRestart, Config::RestartMs, Qt::CaseInsensitive))
    co_return fail(Failure::Transfer, Result::NoRestart, {}, Severity::None);
  co_await m_link.pause(Config::AfterRestartPauseMs);
  m_link.RcvString.clear();

  Clock &clock = Clock::instance();
  const quint64 start = clock.nowMs();
  bool restarted = false;
  bool limitPassed = false;
  do {
    m_link.log(QStringLiteral("PutChar(^T) - warten auf Neustart mit OKOK"));
    m_link.send(Gateway::TestGateway);
    co_await m_link.pause(Config::RestartPollMs);
    m_report.stateText(QString::fromLatin1(m_link.RcvString));
    m_report.phase(GatewayReport::Phase::Restarting);
    restarted = m_link.receivedContains(Gateway::ReplyOkOk, Qt::CaseInsensitive);
    limitPassed = clock.nowMs() - start >= Config::RestartMs;
  } while (!restarted && !limitPassed);

  if (restarted && !limitPassed) {
    m_report.stateText(QStringLiteral("Device successfully restartet"));
    co_await m_link.pause(Config::SuccessPauseMs);
    m_link.log(QStringLiteral("SEND READY MSG SUCCESS"));
    Outcome outcome;
    outcome.writeReady = Result::Success;
    m_report.outcome(outcome);
    co_return true;
  }
  m_report.stateText(QStringLiteral("Device did not restart "));
  m_link.log(QStringLiteral("SEND READY MSG error"));
  co_return fail(Failure::Transfer, Result::NoRestart, {}, Severity::None);
}
