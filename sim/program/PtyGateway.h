#pragma once

#include "platform/linux/Pty.h"
#include "sim/KorvaneSim.h"
#include "sim/program/AdapterLatency.h"
#include "sim/program/SimOptions.h"

#include <QObject>

#include <deque>

class ClockTimer;
class QSocketNotifier;

// Runs the simulated gateway on a pseudo-terminal published as COM n in the port map.
class PtyGateway : public QObject {
  Q_OBJECT
public:
  explicit PtyGateway(SimOptions options, QObject *parent = nullptr);
  ~PtyGateway() override;

  // Opens the pseudo-terminal and publishes it; false with errorString().
  bool start();
  // Removes the entry, writes the out file; returns the one-line summary.
  QString finish();
  QString errorString() const { return m_error; }
  QString terminalPath() const { return m_pty.terminalPath(); }

signals:
  // The run is over (download done and quiet, or idle too long).
  void done();

private:
  bool openAndPublish();
  void unpublish();
  void watch();
  // Reads what the terminal holds; answers it at once, or at its line time when pacing.
  void readAvailable();
  void answer(quint8 byte, double atMs);
  // Hands one byte to the gateway at the time the line delivers it; its reply, and whether the port
  // vanishes after it.
  QByteArray feed(quint8 byte, double atMs, bool *vanishes);
  void pace(const QByteArray &bytes, quint64 now);
  void armPaceTimer();
  void onPaceTick();
  void onCheckTick();
  void vanish();
  // Hands bytes to the program, through the adapter's latency when one is simulated.
  void send(const QByteArray &bytes);
  void onLatencyTick();

  SimOptions m_options;
  KorvaneSim m_sim;
  PtyMaster m_pty;
  QString m_published; // target of our comN entry, empty when none
  QString m_error;
  QSocketNotifier *m_notifier = nullptr;
  ClockTimer *m_paceTimer;
  ClockTimer *m_checkTimer;
  ClockTimer *m_backTimer;
  ClockTimer *m_latencyTimer;
  AdapterLatency m_latency;
  quint64 m_lastByteMs = 0;
  // When pacing, each byte is answered as soon as it is read, with the time at which the line
  // delivers it; its reply waits here until then, so the process wakes per reply, not per byte.
  struct PacedReply {
    double dueMs;
    QByteArray bytes;
    bool vanish; // the port vanishes at dueMs
  };
  std::deque<PacedReply> m_replies;
  bool m_vanishing = false; // a paced vanish is due: what the line carries after it is lost
  double m_lineFreeMs = 0;  // when the line has carried everything read so far
  bool m_gone = false;
  // The data phase of the last configuration download: from the 0x10 to the end of the checksum.
  double m_phaseStartMs = 0;
  double m_phaseEndMs = 0;
  qint64 m_phaseStartByte = 0;
  qint64 m_phaseChars = 0;
  // Where the data phase lost line time: the line stood idle until the program's next byte came,
  // either after a reply (split into the reply's own delay and the program's answer) or not.
  struct IdleLine {
    double replyLateMs = 0;
    double answerMs = 0;
    int answers = 0;
    double otherMs = 0;
  } m_idle;
  double m_replyWrittenMs = -1;
  void countIdle(double now);
};
