#pragma once

#include "gateway/GatewayReport.h"

#include <QByteArray>
#include <QObject>

#include <coroutine>
#include <functional>
#include <memory>

class ClockTimer;
class GatewayLink;
class TSerialPort;

// An awaitable wait on a link: ends when its condition holds (tested whenever the link changes)
// or when its time is up, and yields the condition's final value. Without a condition it is a
// pause that yields true.
class LinkWait {
public:
  LinkWait(GatewayLink &link, std::function<bool()> done, quint32 ms);
  ~LinkWait();
  LinkWait(const LinkWait &) = delete;
  LinkWait &operator=(const LinkWait &) = delete;

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h);
  bool await_resume() const { return !m_done || m_done(); }

private:
  void finish();

  GatewayLink &m_link;
  std::function<bool()> m_done;
  quint32 m_ms;
  std::coroutine_handle<> m_handle;
  std::unique_ptr<ClockTimer> m_timer;
  QMetaObject::Connection m_changed;
  // Cleared when the wait goes away before its queued resumption runs.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
  bool m_finished = false;
};

// The line to one gateway: the text received from it, the classification of its replies while a
// search runs, sending, and waiting for a reply. One per serial port; every job on that port
// (search, downloads) works through it.
class GatewayLink : public QObject {
  Q_OBJECT
public:
  explicit GatewayLink(TSerialPort *port, QObject *parent = nullptr);
  ~GatewayLink() override;

  TSerialPort *port() const { return m_port; }
  // The front end that shows what happens on this line; never null.
  GatewayReport &report() const { return *m_report; }
  void setReport(GatewayReport *report);

  // Every byte received since the text was last cleared (the newest 64 KiB).
  QByteArray RcvString;
  // Millisecond tick count of the last receive event.
  quint32 LastReceive = 0;
  // A search runs and has no decisive reply yet.
  bool Datarec = false;
  // The debug interface has answered; its I-message has arrived; it reports configuration mode.
  bool DebugReceived = false;
  bool IMessageCompleted = false;
  bool Configset = false;
  // The port manager's wait counter: non-zero while it waits for the port.
  qint32 waitingForCom() const { return m_waitingForCom; }
  void setWaitingForCom(qint32 counter);

  // Makes the link the port's receive handler (a front end may call COMTriggerAvail itself).
  void attach();
  // The receive event: collects the bytes and classifies the replies.
  void COMTriggerAvail(TSerialPort *sender, quint16 Count);
  // Starts a search: clears the text and the reply flags.
  void beginSearch();
  // The answer to the debug interface is due but not sent yet.
  bool debugAnswerPending() const { return m_answerPending; }

  void send(quint8 byte);
  void send(const QByteArray &bytes);
  bool receivedContains(const char *part, Qt::CaseSensitivity cs) const;
  void log(const QString &text) { m_report->logLine(text); }

  // co_await until(done, ms): the condition's value when it held or the time was up.
  LinkWait until(std::function<bool()> done, quint32 ms) { return LinkWait(*this, std::move(done), ms); }
  LinkWait pause(quint32 ms) { return LinkWait(*this, nullptr, ms); }
  LinkWait receivedWithin(const char *part, quint32 ms, Qt::CaseSensitivity cs);
  // Until the output buffer is empty or the port manager waits for the port; false when neither
  // came within the limit.
  LinkWait drained();

signals:
  // The received text, a flag, the wait counter or the output buffer changed.
  void changed();

private:
  // Appends the waiting bytes to the text; the number appended.
  qsizetype readBlocks(TSerialPort *sender, quint16 count, QByteArray &first);
  void classify(const QByteArray &block, qsizetype appended);
  void answerDebug();
  bool newlyReceivedContains(qsizetype appended, const char *part) const;

  TSerialPort *m_port;
  GatewayReport m_silent;
  GatewayReport *m_report = &m_silent;
  qint32 m_waitingForCom = 0;
  bool m_answerPending = false;
  ClockTimer *m_answerTimer;
};
