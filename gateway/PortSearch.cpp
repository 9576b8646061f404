#include "gateway/PortSearch.h"
#include "gateway/GatewayProtocol.h"

#include "common/TextUtils.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include <stdexcept>

PortSearch::PortSearch(TSerialPort *port, QObject *parent)
    : QObject(parent), COM(port), m_answerLimit(new ClockTimer(this)) {
  m_answerLimit->setSingleShot(true);
  m_answerLimit->setInterval(int(Gateway::ProbeMs));
  connect(m_answerLimit, &ClockTimer::timeout, this, &PortSearch::onAnswerLimit);
}

bool PortSearch::start(const QStringList &items, Result done) {
  // A second search would keep the borrowed handler as the one to give back.
  if (m_running)
    return false;
  m_running = true;
  m_done = std::move(done);
  m_items = items;
  m_next = 0;
  OldReceiveProc = COM->OnTriggerAvail();
  COM->SetOnTriggerAvail([this](TSerialPort *cp, quint16 count) { ResetTriggerAvail(cp, count); });
  probeNext();
  return true;
}

void PortSearch::probeNext() {
  while (m_next < m_items.size())
    if (probe(m_items.at(m_next++)))
      return; // the answer or the limit moves the search on
  finish(-1);
}

bool PortSearch::probe(const QString &item) {
  // A port that does not open or an item that names no port only moves the search on.
  try {
    if (!openItem(item))
      return false;
  } catch (...) {
    return false;
  }
  StrWaitBuffer.clear();
  COM->PutChar(Gateway::TestGateway);
  m_answerLimit->start();
  return true;
}

bool PortSearch::openItem(const QString &item) {
  QString numberText = item;
  numberText.remove(QStringLiteral("COM"));
  if (COM->Open())
    COM->SetOpen(false);
  bool ok = false;
  const int n = numberText.toInt(&ok);
  if (!ok || n < 0 || n > 0xffff)
    throw std::runtime_error("not a port number");
  COM->SetComNumber(quint16(n));
  COM->SetOpen(true);
  // A port that did not open has already been reported; a probe byte would only add a "not open"
  // failure and start a wait for a port nobody asked for.
  return COM->Open();
}

bool PortSearch::answered() const {
  return ContainsSubstringIgnoreCase(StrWaitBuffer, QByteArray(Gateway::ReplyOk));
}

void PortSearch::ResetTriggerAvail(TSerialPort *CP, quint16 Count) {
  QByteArray bytes;
  if (!CP->GetBlock(bytes, Count))
    return;
  StrWaitBuffer += bytes.toUpper();
  Log::line(QStringLiteral("Reset Trigger ") + QString::fromLatin1(StrWaitBuffer));
  if (m_answerLimit->isActive() && answered())
    finish(COM->ComNumber());
}

void PortSearch::onAnswerLimit() {
  if (answered())
    finish(COM->ComNumber());
  else
    probeNext();
}

void PortSearch::finish(qint32 result) {
  m_answerLimit->stop();
  COM->SetOnTriggerAvail(OldReceiveProc);
  m_running = false;
  const Result done = std::exchange(m_done, Result());
  if (done)
    done(result);
}
