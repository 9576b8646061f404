#include "station/PortWriter.h"

#include "common/WindowMessages.h"
#include "gateway/GatewayLink.h"
#include "gateway/PortManager.h"
#include "gateway/WriteScriptJob.h"
#include "platform/Clock.h"
#include "station/ExitCodes.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {
QString phaseName(GatewayReport::Phase phase) {
  using P = GatewayReport::Phase;
  switch (phase) {
  case P::Searching:
    return QStringLiteral("searching");
  case P::Testing:
    return QStringLiteral("testing");
  case P::Programming:
    return QStringLiteral("programming");
  case P::Restarting:
    return QStringLiteral("restarting");
  case P::Finishing:
    return QStringLiteral("finishing");
  case P::AnswerAwaited:
    return QStringLiteral("answer");
  case P::SearchEnded:
    break;
  }
  return {};
}
} // namespace

PortWriter::PortWriter(quint16 com, const Settings &settings, WriteEvents &events, QObject *parent)
    : QObject(parent), m_com(com), m_name(QStringLiteral("COM%1").arg(com)), m_settings(settings),
      m_events(events) {
  m_result.port = m_name;
  m_result.adapter = m_settings.adapter;
  if (m_settings.logDir.isEmpty())
    return;
  // Not "COM3.log": on Windows COM1 to COM9 with any extension name the serial device, not a file.
  m_log.setFileName(QDir(m_settings.logDir).filePath(QStringLiteral("port-%1.log").arg(m_name)));
  if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
    m_events.message(
        m_name, QStringLiteral("cannot write the log %1: %2").arg(m_log.fileName(), m_log.errorString()));
}

PortWriter::~PortWriter() {
  releasePort();
}

void PortWriter::start() {
  m_startMs = Clock::instance().nowMs();
  m_result.startedUtc = QDateTime::currentDateTimeUtc();
  m_events.started(m_name, m_settings.script,
                   m_settings.image ? m_settings.image->size() : QFileInfo(m_settings.script).size());
  if (!openPort())
    return;
  m_link = std::make_unique<GatewayLink>(m_manager->COM);
  m_link->setReport(this);
  m_link->attach();
  m_job = std::make_unique<WriteScriptJob>(*m_link, m_settings.script, m_name);
  m_job->reopenOnWriteError = &m_manager->reopenOnWriteError;
  m_job->afterRestartLimitMs = m_settings.restartWaitMs;
  m_job->image = m_settings.image;
  m_run = m_job->run();
  m_run.start();
}

bool PortWriter::openPort() {
  if (!ProbeComPort(m_com)) {
    finish(false, ExitCode::Port,
           m_settings.absentText ? m_settings.absentText(m_name)
                                 : QStringLiteral("%1 is not present").arg(m_name));
    return false;
  }
  m_manager = std::make_unique<PortManager>();
  m_manager->callerHandle = handleOf(this);
  m_manager->logLine = [this](const QString &line) { logLine(line); };
  m_manager->StandardSerialOptions();
  m_manager->openPort(m_com);
  if (m_manager->COM->Open())
    return true;
  const QString reason = m_manager->COM->LastErrorText();
  releasePort();
  finish(false, ExitCode::Port, QStringLiteral("Port %1 cannot be used: %2").arg(m_name, reason));
  return false;
}

bool PortWriter::event(QEvent *event) {
  if (WindowMessageEvent *message = asWindowMessage(event)) {
    if (message->msg == WM_COM_WAIT_STATE && m_link)
      m_link->setWaitingForCom(qint32(message->wParam));
    return true;
  }
  return QObject::event(event);
}

void PortWriter::logLine(const QString &text) {
  if (m_settings.programLog)
    GatewayReport::logLine(text);
  if (m_log.isOpen()) {
    m_log.write(
        (QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + text + '\n').toUtf8());
    m_log.flush();
  }
  m_events.log(m_name, text);
}

void PortWriter::phase(Phase phase) {
  // A download has begun: the search has told the interfaces apart.
  if (phase == Phase::Testing || (phase == Phase::Programming && m_result.interface.isEmpty()))
    m_result.interface = interfaceName();
  // The restart poll reports its step on every pass; a reader wants each change once.
  const QString name = phaseName(phase);
  if (name.isEmpty() || name == m_phase)
    return;
  m_phase = name;
  m_events.phase(m_name, name);
}

QString PortWriter::interfaceName() const {
  return m_link->DebugReceived ? QStringLiteral("debug") : QStringLiteral("configuration");
}

void PortWriter::progress(qint64 done, qint64 total) {
  m_result.bytes = done;
  m_events.progress(m_name, done, total);
}

bool PortWriter::question(const QString &text) {
  const quint32 seconds = m_settings.restartWaitMs / 1000;
  m_events.message(m_name, seconds > 0 ? text + QStringLiteral(" Waiting %1 s for the gateway.").arg(seconds)
                                       : text + QStringLiteral(" Not waiting (--restart-wait 0)."));
  return m_settings.restartWaitMs > 0;
}

void PortWriter::outcome(const Outcome &outcome) {
  m_outcome = outcome;
  if (outcome.failure != Failure::NoGateway && m_result.interface.isEmpty())
    m_result.interface = interfaceName();
  // The job is still running here; it ends right after, and only then may the port go.
  QMetaObject::invokeMethod(
      this,
      [this] {
        QString message = m_outcome.message;
        if (message.isEmpty())
          message = writeReadyMessage(m_outcome.writeReady.value_or(Gateway::WriteResult::AlreadyReported));
        releasePort();
        finish(m_outcome.ok(), ExitCode::of(m_outcome.failure), message);
      },
      Qt::QueuedConnection);
}

void PortWriter::interrupt() {
  if (m_finished)
    return;
  releasePort();
  finish(false, ExitCode::Interrupted, QStringLiteral("interrupted"));
}

void PortWriter::releasePort() {
  m_run = Task<bool>();
  m_job.reset();
  m_link.reset();
  m_manager.reset();
}

void PortWriter::finish(bool ok, int code, const QString &message) {
  if (m_finished)
    return;
  m_finished = true;
  m_result.ok = ok;
  m_result.code = code;
  m_result.message = message;
  m_result.seconds = double(Clock::instance().nowMs() - m_startMs) / 1000.0;
  m_events.result(m_result);
}
