#include "sim/program/PtyGateway.h"

#include "platform/Clock.h"
#include "platform/PortMap.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSocketNotifier>

namespace {
constexpr int kBytesPerSecond = 960; // 9600 baud, 8N1
constexpr int kPaceTickMs = 10;
} // namespace

PtyGateway::PtyGateway(SimOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_sim(m_options.config),
      m_paceTimer(new ClockTimer(this)), m_checkTimer(new ClockTimer(this)),
      m_backTimer(new ClockTimer(this)) {
  m_paceTimer->setInterval(kPaceTickMs);
  connect(m_paceTimer, &ClockTimer::timeout, this, &PtyGateway::onPaceTick);
  m_checkTimer->setInterval(100);
  connect(m_checkTimer, &ClockTimer::timeout, this, &PtyGateway::onCheckTick);
  m_backTimer->setSingleShot(true);
  connect(m_backTimer, &ClockTimer::timeout, this, [this] {
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
  m_notifier = nullptr;
  if (m_options.pace) {
    m_lastPaceMs = Clock::instance().nowMs();
    m_paceBudget = 0;
    m_paceTimer->start();
    return;
  }
  m_notifier = new QSocketNotifier(m_pty.fd(), QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] { readAvailable(1 << 20); });
}

void PtyGateway::onPaceTick() {
  const quint64 now = Clock::instance().nowMs();
  m_paceBudget =
      qMin(m_paceBudget + double(now - m_lastPaceMs) * kBytesPerSecond / 1000.0, double(kBytesPerSecond));
  m_lastPaceMs = now;
  const qint64 whole = qint64(m_paceBudget);
  if (whole > 0)
    readAvailable(whole);
}

void PtyGateway::readAvailable(qint64 budget) {
  if (m_gone)
    return;
  const QByteArray bytes = m_pty.read(qMin<qint64>(budget, 4096));
  if (bytes.isEmpty())
    return;
  if (m_options.pace)
    m_paceBudget -= double(bytes.size());
  const quint64 now = Clock::instance().nowMs();
  m_lastByteMs = now;
  for (char c : bytes) {
    const QByteArray reply = m_sim.receive(quint8(c), now);
    if (!reply.isEmpty())
      m_pty.write(reply);
    if (m_sim.takeVanish()) {
      vanish();
      return;
    }
  }
}

void PtyGateway::vanish() {
  m_gone = true;
  m_paceTimer->stop();
  delete m_notifier;
  m_notifier = nullptr;
  // The entry stays and dangles once the terminal is gone, as an unplugged adapter's does.
  m_pty.close();
  m_backTimer->start(m_options.config.faults.vanishForMs);
}

void PtyGateway::onCheckTick() {
  const quint64 quiet = Clock::instance().nowMs() - m_lastByteMs;
  if (m_options.idleExitSeconds > 0 && quiet >= quint64(m_options.idleExitSeconds) * 1000)
    emit done();
  else if (m_options.exitAfterDownload && m_sim.downloadsCompleted() > 0 &&
           quiet >= quint64(m_options.lingerMs))
    emit done();
}

QString PtyGateway::finish() {
  m_checkTimer->stop();
  m_paceTimer->stop();
  m_backTimer->stop();
  unpublish();
  m_pty.close();
  QString summary = QStringLiteral("korvane-sim COM%1: %2").arg(m_options.com).arg(m_sim.summary());
  if (!m_options.outFile.isEmpty()) {
    QSaveFile out(m_options.outFile);
    if (out.open(QIODevice::WriteOnly) && out.write(m_sim.lastDownload().script) >= 0 && out.commit())
      summary += QStringLiteral("; script written to %1").arg(m_options.outFile);
    else
      summary += QStringLiteral("; cannot write %1").arg(m_options.outFile);
  }
  return summary;
}
