#include "sim/program/PtyGateway.h"

#include "platform/Clock.h"
#include "platform/linux/PortMap.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>

#include <cmath>

namespace {
constexpr int kBytesPerSecond = 960; // 9600 baud, 8N1
constexpr double kByteMs = 1000.0 / kBytesPerSecond;
} // namespace

PtyGateway::PtyGateway(SimOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_sim(m_options.config),
      m_paceTimer(new ClockTimer(this)), m_checkTimer(new ClockTimer(this)),
      m_backTimer(new ClockTimer(this)), m_latencyTimer(new ClockTimer(this)),
      m_latency(m_options.adapterLatencyMs) {
  m_latencyTimer->setSingleShot(true);
  connect(m_latencyTimer, &ClockTimer::timeout, this, &PtyGateway::onLatencyTick);
  m_paceTimer->setSingleShot(true);
  connect(m_paceTimer, &ClockTimer::timeout, this, &PtyGateway::onPaceTick);
  m_checkTimer->setInterval(100);
  connect(m_checkTimer, &ClockTimer::timeout, this, &PtyGateway::onCheckTick);
  m_backTimer->setSingleShot(true);
  connect(m_backTimer, &ClockTimer::timeout, this, [this] {
    if (m_options.config.faults.freshOnReturn)
      m_sim.powerCycle();
    unpublish();
    if (!openAndPublish()) {
      qWarning("korvane-sim: cannot come back: %s", qPrintable(m_error));
      emit done();
    }
  });
}

PtyGateway::~PtyGateway() {
  unpublish();
}

bool PtyGateway::start() {
  m_lastByteMs = Clock::instance().nowMs();
  if (!openAndPublish())
    return false;
  m_checkTimer->start();
  return true;
}

bool PtyGateway::openAndPublish() {
  if (!m_pty.open(true)) {
    m_error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(m_pty.errorString());
    return false;
  }
  PortMap map;
  const PortMap::Resolved entry = map.resolve(m_options.com);
  // A leftover of an earlier run (a link into /dev/pts that leads nowhere) may be replaced.
  const bool leftover =
      entry.state == PortMap::State::Dangling && entry.target.startsWith(QLatin1String("/dev/pts/"));
  if (entry.state != PortMap::State::NoEntry && (m_options.replace && leftover))
    QFile::remove(entry.entry);
  QString error;
  if (!map.publish(m_options.com, m_pty.terminalPath(), &error)) {
    m_error = QStringLiteral("cannot publish COM%1: %2").arg(m_options.com).arg(error);
    if (leftover && !m_options.replace)
      m_error += QStringLiteral("; it leads nowhere, --replace takes it over");
    m_pty.close();
    return false;
  }
  m_published = m_pty.terminalPath();
  m_gone = false;
  watch();
  return true;
}

void PtyGateway::unpublish() {
  if (m_published.isEmpty())
    return;
  PortMap().unpublish(m_options.com, m_published);
  m_published.clear();
}

void PtyGateway::watch() {
  delete m_notifier;
  m_replies.clear();
  m_vanishing = false;
  m_notifier = new QSocketNotifier(m_pty.fd(), QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &PtyGateway::readAvailable);
}

void PtyGateway::readAvailable() {
  if (m_gone)
    return;
  const QByteArray bytes = m_pty.read(4096);
  if (bytes.isEmpty())
    return;
  const quint64 now = Clock::instance().nowMs();
  if (m_options.pace) {
    pace(bytes, now);
    return;
  }
  m_lastByteMs = now;
  for (char c : bytes)
    if (!m_gone)
      answer(quint8(c), double(now));
}

void PtyGateway::pace(const QByteArray &bytes, quint64 now) {
  // 9600 baud: each byte arrives one byte time after the previous one, and an idle line does not
  // make up for lost time. The gateway's state depends only on the bytes and their times, so it
  // may see them early; only its replies must wait for their time.
  countIdle(double(now));
  for (char c : bytes) {
    if (m_vanishing)
      break;
    m_lineFreeMs = qMax(m_lineFreeMs, double(now)) + kByteMs;
    bool vanishes = false;
    const QByteArray reply = feed(quint8(c), m_lineFreeMs, &vanishes);
    if (!reply.isEmpty() || vanishes)
      m_replies.push_back({m_lineFreeMs, reply, vanishes});
    m_vanishing = vanishes;
  }
  m_lastByteMs = quint64(std::ceil(m_lineFreeMs));
  armPaceTimer();
}

void PtyGateway::countIdle(double now) {
  const bool inPhase = m_sim.downloadsStarted() > m_sim.downloadsCompleted();
  if (!inPhase || now <= m_lineFreeMs)
    return;
  if (m_replyWrittenMs >= m_lineFreeMs) {
    m_idle.replyLateMs += m_replyWrittenMs - m_lineFreeMs;
    m_idle.answerMs += now - m_replyWrittenMs;
    ++m_idle.answers;
  } else {
    m_idle.otherMs += now - m_lineFreeMs;
  }
}

void PtyGateway::armPaceTimer() {
  // Replies are due in order, so a running timer already waits for the first of them.
  if (m_replies.empty() || m_paceTimer->isActive())
    return;
  const double wait = m_replies.front().dueMs - 0.5 - double(Clock::instance().nowMs());
  m_paceTimer->start(qMax(0, int(std::ceil(wait))));
}

void PtyGateway::onPaceTick() {
  const double now = double(Clock::instance().nowMs());
  while (!m_replies.empty() && m_replies.front().dueMs <= now + 0.5) {
    const PacedReply due = std::move(m_replies.front());
    m_replies.pop_front();
    if (!due.bytes.isEmpty())
      send(due.bytes);
    if (due.vanish) {
      vanish();
      return;
    }
  }
  armPaceTimer();
}

QByteArray PtyGateway::feed(quint8 byte, double atMs, bool *vanishes) {
  const int started = m_sim.downloadsStarted();
  const int completed = m_sim.downloadsCompleted();
  const QByteArray reply = m_sim.receive(byte, quint64(atMs));
  if (m_sim.downloadsStarted() != started) {
    m_phaseStartMs = atMs - kByteMs; // the 0x10 began to arrive one byte time earlier
    m_phaseStartByte = m_sim.bytesReceived();
  }
  if (m_sim.downloadsCompleted() != completed) {
    m_phaseEndMs = atMs;
    m_phaseChars = m_sim.bytesReceived() - m_phaseStartByte + 1;
  }
  *vanishes = m_sim.takeVanish();
  return reply;
}

void PtyGateway::answer(quint8 byte, double atMs) {
  bool vanishes = false;
  const QByteArray reply = feed(byte, atMs, &vanishes);
  if (!reply.isEmpty())
    send(reply);
  if (vanishes)
    vanish();
}

void PtyGateway::send(const QByteArray &bytes) {
  const quint64 now = Clock::instance().nowMs();
  const QByteArray out = m_latency.take(bytes, now);
  if (!out.isEmpty()) {
    m_pty.write(out);
    m_replyWrittenMs = double(now);
  }
  if (m_latency.dueMs() >= 0 && !m_latencyTimer->isActive())
    m_latencyTimer->start(int(qMax<qint64>(0, m_latency.dueMs() - qint64(now))));
}

void PtyGateway::onLatencyTick() {
  const quint64 now = Clock::instance().nowMs();
  const QByteArray out = m_latency.release(now);
  if (!out.isEmpty()) {
    m_pty.write(out);
    m_replyWrittenMs = double(now);
  }
  if (m_latency.dueMs() >= 0)
    m_latencyTimer->start(int(qMax<qint64>(0, m_latency.dueMs() - qint64(now))));
}

void PtyGateway::vanish() {
  m_gone = true;
  m_paceTimer->stop();
  m_latencyTimer->stop();
  m_latency.clear();
  m_replies.clear();
  delete m_notifier;
  m_notifier = nullptr;
  // The entry stays and dangles once the terminal is gone, as an unplugged adapter's does.
  m_pty.close();
  m_backTimer->start(m_options.config.faults.vanishForMs);
}

void PtyGateway::onCheckTick() {
  // When pacing, the last byte's line time may still lie ahead.
  const quint64 now = Clock::instance().nowMs();
  const quint64 quiet = now > m_lastByteMs ? now - m_lastByteMs : 0;
  if (m_options.idleExitSeconds > 0 && quiet >= quint64(m_options.idleExitSeconds) * 1000)
    emit done();
  else if (m_options.exitAfterDownload && m_sim.downloadsCompleted() > 0 && m_replies.empty() &&
           quiet >= quint64(m_options.lingerMs))
    emit done();
}

QString PtyGateway::finish() {
  m_checkTimer->stop();
  m_paceTimer->stop();
  m_backTimer->stop();
  m_latencyTimer->stop();
  unpublish();
  m_pty.close();
  QString summary = QStringLiteral("korvane-sim COM%1: %2").arg(m_options.com).arg(m_sim.summary());
  if (m_phaseChars > 0)
    summary += QStringLiteral("; data phase %1 ms for %2 characters")
                   .arg(qRound64(m_phaseEndMs - m_phaseStartMs))
                   .arg(m_phaseChars) +
               QStringLiteral(" (line idle: %1 ms for %2 replies to go out, %3 ms for the answers to "
                              "them, %4 ms otherwise)")
                   .arg(qRound64(m_idle.replyLateMs))
                   .arg(m_idle.answers)
                   .arg(qRound64(m_idle.answerMs))
                   .arg(qRound64(m_idle.otherMs));
  if (!m_options.outFile.isEmpty()) {
    QSaveFile out(m_options.outFile);
    if (out.open(QIODevice::WriteOnly) && out.write(m_sim.lastDownload().script) >= 0 && out.commit())
      summary += QStringLiteral("; script written to %1").arg(m_options.outFile);
    else
      summary += QStringLiteral("; cannot write %1").arg(m_options.outFile);
  }
  return summary;
}
