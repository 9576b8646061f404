#pragma once

#include "station/PortWriter.h"
#include "station/SlotBinding.h"
#include "station/StationCounters.h"
#include "station/WriteEvents.h"

#include <QObject>

#include <memory>
#include <optional>

enum class SlotState {
  Idle,
  WaitingForGateway, // armed for plug-in, or the gateway was asked to restart
  Searching,
  Writing,
  Restarting,
  Written,
  Failed,
};

// One port of a station: what it is bound to, where that is now, what it is doing, how its last
// write ended and its counters. The station owns and drives it; a window only reads it and listens
// to changed().
class StationSlot : public QObject, private WriteEvents {
  Q_OBJECT
public:
  explicit StationSlot(const SlotBinding &binding, QObject *parent = nullptr);
  ~StationSlot() override;

  const SlotBinding &binding() const { return m_binding; }
  // The COM number the slot writes to now; 0 while its adapter is absent.
  quint16 port() const { return m_port; }
  QString portName() const; // "COM3", or empty
  // The adapter in words ("0403:6001 serial A50285BI"); empty for an RS-232 slot.
  QString adapterText() const { return m_adapterText; }

  SlotState state() const { return m_state; }
  // "idle", "waiting for a gateway", "searching", "writing N of M bytes (P %)", "restarting",
  // "written", "failed: <reason>".
  QString stateText() const;
  qint64 done() const { return m_done; }
  qint64 total() const { return m_total; }
  int percent() const;
  // Seconds since the write began while it runs, else what the last write took.
  double secondsTaken() const;
  bool running() const { return m_writer != nullptr; }
  // A request for the person at the gateway while it stands ("Restart KORVANE and confirm. ...").
  QString request() const { return m_request; }
  // Why the slot cannot start now (adapter absent, two adapters with its identity); empty when it can.
  QString note() const { return m_note; }
  // After a write started by plug-in, the slot waits for its adapter to go before it starts again.
  bool waitingForRemoval() const { return m_waitingForRemoval; }
  std::optional<PortResult> lastResult() const { return m_lastResult; }
  const StationCounters &counters() const { return m_counters; }

signals:
  void changed();
  // A write ended (after the slot's own state and counters were updated).
  void finished(const PortResult &result);

private:
  friend class Station;

  void setWhere(quint16 port, const QString &adapterText, const QString &note);
  void setState(SlotState state);
  void setWaitingForRemoval(bool waiting);
  void setCounters(const StationCounters &counters);
  // Starts a write on port(); the caller has checked that it may.
  void start(const PortWriter::Settings &settings);
  void stop();

  void started(const QString &port, const QString &script, qint64 total) override;
  void phase(const QString &port, const QString &phase) override;
  void progress(const QString &port, qint64 done, qint64 total) override;
  void log(const QString &port, const QString &text) override;
  void message(const QString &port, const QString &text) override;
  void result(const PortResult &result) override;
  void summary(const QList<PortResult> &results, int code) override;

  SlotBinding m_binding;
  quint16 m_port = 0;
  QString m_adapterText;
  QString m_note;
  SlotState m_state = SlotState::Idle;
  qint64 m_done = 0;
  qint64 m_total = 0;
  quint64 m_startMs = 0;
  double m_seconds = 0;
  QString m_request;
  QString m_failure;
  bool m_waitingForRemoval = false;
  std::optional<PortResult> m_lastResult;
  StationCounters m_counters;
  std::unique_ptr<PortWriter> m_writer;
  std::unique_ptr<PortWriter> m_ended; // kept until control is back in the event loop
};
