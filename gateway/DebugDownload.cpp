#include "gateway/DebugDownload.h"

#include "gateway/GatewayLink.h"
#include "gateway/GatewayProtocol.h"
#include "gateway/ScriptFile.h"
#include "gateway/ScriptImage.h"
#include "platform/Clock.h"
#include "serialport/TSerialPort.h"

#include <QDir>
#include <QFileInfo>

namespace {
using Failure = GatewayReport::Failure;
using Severity = GatewayReport::Severity;
namespace Debug = Gateway::Debug;
} // namespace

DebugDownload::DebugDownload(GatewayLink &link) : m_link(link), m_report(link.report()) {}

bool DebugDownload::fail(Failure failure, const QString &message, Severity severity, bool atStateWindow) {
  Outcome outcome;
  outcome.failure = failure;
  outcome.writeReady = Gateway::WriteResult::AlreadyReported;
  outcome.message = message;
  outcome.severity = severity;
  outcome.atStateWindow = atStateWindow;
  m_report.outcome(outcome);
  return false;
}

QString DebugDownload::load(TIndexStream &Memory, const QString &path) {
  if (image) {
    if (image->size() > Gateway::MaxDebugScriptSize)
      return QStringLiteral(
                 "The script %1 has %2 bytes; a script for the debug interface may have at most %3 "
                 "bytes. Nothing was sent.")
          .arg(path)
          .arg(image->size())
          .arg(Gateway::MaxDebugScriptSize);
    Memory.LoadFromBytes(*image);
    return {};
  }
  const QFileInfo file(path);
  if (file.size() > Gateway::MaxDebugScriptSize)
    return QStringLiteral("File %1 has %2 bytes; a script file for the debug interface may have at most %3 "
                          "bytes. Nothing was sent.")
        .arg(path)
        .arg(file.size())
        .arg(Gateway::MaxDebugScriptSize);
  if (QString problem = loadScript(Memory, path); !problem.isEmpty())
    return problem;
  if (Memory.UseSize() > Gateway::MaxDebugScriptSize)
    return QStringLiteral("File %1 grew beyond %2 bytes. Nothing was sent.")
        .arg(path)
        .arg(Gateway::MaxDebugScriptSize);
  return {};
}

Task<bool> DebugDownload::programfileDebug(QString path) {
  path = QDir::toNativeSeparators(path); // as the user knows it, in every message and log line
  m_report.phase(GatewayReport::Phase::Programming);
  m_report.stateText(QStringLiteral("Open file"));
  if (!image && !QFileInfo(path).isFile()) {
    // Nothing went out, so there is nothing to report to the main window.
    Outcome outcome;
    outcome.failure = Failure::ScriptFile;
    outcome.message = ScriptFile::missing(path);
    m_report.outcome(outcome);
    co_return false;
  }
  TIndexStream Memory;
  if (const QString problem = load(Memory, path); !problem.isEmpty())
    co_return fail(Failure::ScriptFile, problem, Severity::Error);

  const qint32 size = Memory.UseSize();
  m_link.log(QStringLiteral("Starte mit D"));
  m_link.send(Gateway::DebugStart);
  m_report.progress(0, size);
  m_link.send(quint8((size >> 8) & 0xff));
  m_link.send(quint8(size & 0xff));

  m_link.log(QStringLiteral("Teste auf Handshake"));
  m_link.RcvString.clear();
  const bool handshake =
      co_await m_link.receivedWithin(Gateway::ReplyDot, Debug::HandshakeMs, Qt::CaseSensitive);
  m_report.stateText(handshake ? QStringLiteral("Programming with handshake...%1byte").arg(size)
                               : QStringLiteral("Programming .."));
  m_link.log(QStringLiteral("Los gehts"));
  quint16 sum = 0;
  if (!co_await sendData(Memory, path, handshake, sum))
    co_return false;
  if (handshake) {
    m_link.RcvString.clear();
    co_await m_link.receivedWithin(Gateway::ReplyDot, Debug::LastDotMs, Qt::CaseSensitive);
  }

  m_report.phase(GatewayReport::Phase::Finishing);
  m_report.stateText(QStringLiteral("Finishing"));
  m_link.RcvString.clear();
  m_link.port()->FlushInBuffer();
  m_link.log(QStringLiteral("Send Checksum "));
  m_link.send(quint8(sum >> 8));
  m_link.send(quint8(sum & 0xff));
  m_link.log(QStringLiteral("Warten auf das O"));
  co_return co_await answer();
}

Task<bool> DebugDownload::sendData(TIndexStream &Memory, const QString &path, bool handshake, quint16 &sum) {
  const qint32 size = Memory.UseSize();
  int counter = Debug::CounterStart;
  for (qint32 i = 0; i < size; ++i) {
    const quint8 byte = Memory.GetByteIDX(quint16(i));
    m_link.send(byte);
    ++counter;
    m_report.progress(i + 1, size);
    if (i % Gateway::DrainEvery == 0 && !co_await m_link.drained())
      co_return fail(Failure::Port,
                     QStringLiteral("Error programming ") + path +
                         QStringLiteral(": the port does not send (is the cable connected?)"),
                     Severity::Warning);
    if (counter >= Debug::BlockPoint && !co_await blockPoint(handshake, counter))
      co_return fail(Failure::Transfer, QStringLiteral("Error writing script"), Severity::None, true);
    sum = quint16(sum + byte);
  }
  co_return true;
}

Task<bool> DebugDownload::blockPoint(bool handshake, int &counter) {
  counter = 0;
  if (!handshake)
    co_return true;
  m_link.RcvString.clear();
  co_return co_await m_link.receivedWithin(Gateway::ReplyDot, Debug::BlockPointMs, Qt::CaseSensitive);
}

Task<bool> DebugDownload::waitWhileTalking(quint32 ms, bool untilO) {
  Clock &clock = Clock::instance();
  const auto answered = [this] { return m_link.RcvString.contains(Gateway::DebugAccepted); };
  for (;;) {
    if (untilO && answered())
      break;
    // One reading of the silence per pass: the limit must never be taken from a later one.
    const quint32 silent = clock.tickCount() - m_link.LastReceive;
    if (silent > ms)
      break;
    const quint32 lastReceive = m_link.LastReceive;
    co_await m_link.until([&] { return (untilO && answered()) || m_link.LastReceive != lastReceive; },
                          ms - silent + 1);
  }
  co_return answered();
}

Task<bool> DebugDownload::answer() {
  m_link.LastReceive = Clock::instance().tickCount();
  const bool answered = co_await waitWhileTalking(Debug::AnswerSilenceMs, true);
  m_report.phase(GatewayReport::Phase::AnswerAwaited);
  if (!answered)
    co_return fail(Failure::Transfer,
                   QStringLiteral("Error programming script \r\n") + QString::fromLatin1(m_link.RcvString),
                   Severity::Error);
  m_link.LastReceive = Clock::instance().tickCount();
  m_link.log(QStringLiteral("Hab das O: ") + QString::fromLatin1(m_link.RcvString));
  co_await waitWhileTalking(Debug::AfterAnswerSilenceMs, false);
  Outcome outcome;
  outcome.writeReady = Gateway::WriteResult::Success;
  m_report.outcome(outcome);
  co_return true;
}
