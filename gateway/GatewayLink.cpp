#include "gateway/GatewayLink.h"

#include "common/TextUtils.h"
#include "gateway/GatewayProtocol.h"
#include "platform/Clock.h"
#include "serialport/TSerialPort.h"

namespace {
// The handler reads at most this many bytes per block.
const quint16 kBlockSize = 1000;
// A gateway that never stops talking must not fill the memory or the log: the newest bytes are
// enough to find every reply, and a log line shows the end of the collected text.
const qsizetype kMaxCollected = 65536;
const qsizetype kMaxLogged = 2000;

// prefix and the end of the collected text, built in one piece: this runs for every receive event.
QString withTail(QLatin1StringView prefix, const QByteArray &bytes) {
  const bool cut = bytes.size() > kMaxLogged;
  const QLatin1StringView shown(cut ? QByteArrayView(bytes).last(kMaxLogged) : QByteArrayView(bytes));
  QString line;
  line.reserve(prefix.size() + 3 + shown.size());
  line += prefix;
  if (cut)
    line += QLatin1StringView("...");
  line += shown;
  return line;
}
} // namespace

LinkWait::LinkWait(GatewayLink &link, std::function<bool()> done, quint32 ms)
    : m_link(link), m_done(std::move(done)), m_ms(ms) {}

LinkWait::~LinkWait() {
  *m_alive = false;
  QObject::disconnect(m_changed);
}

void LinkWait::await_suspend(std::coroutine_handle<> h) {
  m_handle = h;
  if (m_done && m_done()) {
    finish();
    return;
  }
  m_timer = std::make_unique<ClockTimer>();
  m_timer->setSingleShot(true);
  QObject::connect(m_timer.get(), &ClockTimer::timeout, [this] { finish(); });
  m_timer->start(int(m_ms));
  if (m_done)
    m_changed = QObject::connect(&m_link, &GatewayLink::changed, [this] {
      if (m_done())
        finish();
    });
}

void LinkWait::finish() {
  if (m_finished)
    return;
  m_finished = true;
  QObject::disconnect(m_changed);
  if (m_timer)
    m_timer->stop();
  // Resumed from the event loop, never from inside the event that ended the wait.
  QMetaObject::invokeMethod(
      &m_link,
      [alive = m_alive, h = m_handle] {
        if (*alive)
          h.resume();
      },
      Qt::QueuedConnection);
}

GatewayLink::GatewayLink(TSerialPort *port, QObject *parent) : QObject(parent), m_port(port) {
  m_answerTimer = new ClockTimer(this);
  m_answerTimer->setSingleShot(true);
  connect(m_answerTimer, &ClockTimer::timeout, this, &GatewayLink::answerDebug);
  connect(m_port, &TSerialPort::outputTaken, this, &GatewayLink::changed);
}

GatewayLink::~GatewayLink() = default;

void GatewayLink::setReport(GatewayReport *report) {
  m_report = report ? report : &m_silent;
}

void GatewayLink::setWaitingForCom(qint32 counter) {
  m_waitingForCom = counter;
  emit changed();
}

void GatewayLink::attach() {
  m_port->SetOnTriggerAvail([this](TSerialPort *sender, quint16 count) { COMTriggerAvail(sender, count); });
}

void GatewayLink::beginSearch() {
  Configset = false;
  RcvString.clear();
  Datarec = true;
  DebugReceived = false;
  IMessageCompleted = false;
}

qsizetype GatewayLink::readBlocks(TSerialPort *sender, quint16 count, QByteArray &first) {
  // More than one block's worth is read in further blocks, so nothing stays behind unread.
  if (!sender->GetBlock(first, qMin(count, kBlockSize)))
    return 0;
  RcvString += first;
  qsizetype appended = first.size();
  for (quint16 rest = count - quint16(first.size()); rest > 0;) {
    QByteArray more;
    const quint16 take = qMin(rest, kBlockSize);
    if (!sender->GetBlock(more, take))
      break;
    RcvString += more;
    appended += more.size();
    rest -= take;
  }
  // Cut by a quarter at a time, so that a gateway that never stops talking does not cost a move of
  // the whole text per receive event.
  if (RcvString.size() > kMaxCollected)
    RcvString.remove(0, RcvString.size() - kMaxCollected * 3 / 4);
  return qMin(appended, RcvString.size());
}

void GatewayLink::COMTriggerAvail(TSerialPort *sender, quint16 Count) {
  LastReceive = Clock::instance().tickCount();
  QByteArray block;
  const qsizetype appended = readBlocks(sender, Count, block);
  if (block.isEmpty())
    return;
  log(withTail(QLatin1StringView("RcvString "), RcvString));
  log(QStringLiteral("RcvString b[1] ") + QString::fromLatin1(block.left(1)));
  log(QStringLiteral("---------------- "));
  classify(block, appended);
  emit changed();
}

void GatewayLink::classify(const QByteArray &block, qsizetype appended) {
  if (Datarec) {
    if (DebugReceived && receivedContains(Gateway::ReplyIMessage, Qt::CaseInsensitive)) {
      Datarec = false;
      IMessageCompleted = true;
      log(QStringLiteral("IMessage completed "));
    }
    if (block.at(0) == 0 && !DebugReceived && !m_answerPending) {
      log(QStringLiteral("Debug connected"));
      // The debug interface wants a pause before the answer; the line waits, the thread does not.
      m_answerPending = true;
      m_answerTimer->start(int(Gateway::Search::DebugAnswerPauseMs));
    }
    if (receivedContains(Gateway::ReplyOkOk, Qt::CaseInsensitive)) {
      log(QStringLiteral("Application connected"));
      m_report->gatewayState(QStringLiteral("Application port connected"));
      Datarec = false;
      RcvString.clear();
    }
  }
  log(withTail(QLatin1StringView("Check config mode while debug connected "), RcvString));
  if (!Configset && newlyReceivedContains(appended, Gateway::ReplyConfigMode)) {
    m_report->gatewayState(QStringLiteral("Debug port and configuration mode!"));
    Configset = true;
    Datarec = false;
  }
}

bool GatewayLink::newlyReceivedContains(qsizetype appended, const char *part) const {
  // The text before this block was tested at its own receive event: had it held the reply, the
  // flag would be set. Only the block and the bytes that may start a reply across its border count.
  const QLatin1StringView wanted(part);
  const qsizetype span = qMin(RcvString.size(), appended + wanted.size() - 1);
  // Runs for every receive event: a view, no copies. The replies are ASCII.
  return QLatin1StringView(QByteArrayView(RcvString).last(span)).contains(wanted, Qt::CaseInsensitive);
}

void GatewayLink::answerDebug() {
  m_answerPending = false;
  send(Gateway::DebugAnswer);
  m_report->gatewayState(QStringLiteral("Debug port connected"));
  DebugReceived = true;
  emit changed();
}

void GatewayLink::send(quint8 byte) {
  m_port->PutChar(byte);
}

void GatewayLink::send(const QByteArray &bytes) {
  m_port->PutString(bytes);
}

bool GatewayLink::receivedContains(const char *part, Qt::CaseSensitivity cs) const {
  const QByteArray p(part);
  return cs == Qt::CaseSensitive ? ContainsSubstring(RcvString, p)
                                 : ContainsSubstringIgnoreCase(RcvString, p);
}

LinkWait GatewayLink::receivedWithin(const char *part, quint32 ms, Qt::CaseSensitivity cs) {
  return until([this, part, cs] { return receivedContains(part, cs); }, ms);
}

LinkWait GatewayLink::drained() {
  return until([this] { return m_port->OutBuffUsed() == 0 || m_waitingForCom != 0; }, Gateway::DrainLimitMs);
}
