#pragma once

#include "gateway/GatewayReport.h"
#include "gateway/Task.h"
#include "station/WriteEvents.h"

#include <QFile>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class GatewayLink;
class PortManager;
class WriteScriptJob;

// "Write Script" on one port, as the command line runs it: opens the port, runs the search and
// the download, and turns what the gateway layer reports into events and a result.
class PortWriter : public QObject, public GatewayReport {
  Q_OBJECT
public:
  struct Settings {
    QString script;
    quint32 restartWaitMs = 10000;
    QString logDir; // one log file per port; empty: none
    // The program's own log gets the lines too; a station keeps each slot's lines in its file only,
    // so that the program's log is not eight gateways' lines mixed.
    bool programLog = true;
    // Why an absent port cannot be written, in the front end's words.
    std::function<QString(const QString &port)> absentText;
    // The script's bytes, read once before (a station); without them the file is read per write.
    std::optional<QByteArray> image;
    QString adapter; // the port's USB adapter in words, for the result; empty: none
  };

  PortWriter(quint16 com, const Settings &settings, WriteEvents &events, QObject *parent = nullptr);
  ~PortWriter() override;

  QString portName() const { return m_name; }
  // Opens the port and starts the job; a port that cannot be used ends the write at once.
  void start();
  bool finished() const { return m_finished; }
  // Stops the transfer and closes the port; the port is reported interrupted, never written.
  void interrupt();
  const PortResult &result() const { return m_result; }

protected:
  bool event(QEvent *event) override;

private:
  void logLine(const QString &text) override;
  void phase(Phase phase) override;
  void progress(qint64 done, qint64 total) override;
  bool question(const QString &text) override;
  void outcome(const Outcome &outcome) override;

  bool openPort();
  // The interface the search found on the line.
  QString interfaceName() const;
  void finish(bool ok, int code, const QString &message);
  void releasePort();

  quint16 m_com;
  QString m_name;
  Settings m_settings;
  WriteEvents &m_events;
  QFile m_log;
  std::unique_ptr<PortManager> m_manager;
  std::unique_ptr<GatewayLink> m_link;
  std::unique_ptr<WriteScriptJob> m_job;
  Task<bool> m_run;
  Outcome m_outcome;
  bool m_finished = false;
  QString m_phase; // the last phase reported
  quint64 m_startMs = 0;
  PortResult m_result;
};
