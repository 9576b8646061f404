#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What the gateway layer tells a front end (the windows, the command line, a test): log lines,
// the gateway's state, the step a job is in, its progress, a question for the user and the
// outcome. Every method has a neutral default, so a front end implements what it shows.
class GatewayReport {
public:
  // The steps of a job, as a front end shows them.
  enum class Phase {
    Searching,     // the search for the gateway runs
    SearchEnded,   // the search has ended, decided or not
    Testing,       // configuration interface: the gateway test
    Programming,   // the script goes out
    Restarting,    // configuration interface: waiting for the restart
    Finishing,     // debug interface: checksum and the gateway's answer
    AnswerAwaited, // debug interface: the data are out, the answer is awaited
  };

  // Why a job did not write the script; None when it did.
  enum class Failure { None, NoPort, ScriptFile, Port, NoGateway, DebugConfigMode, Transfer };
  enum class Severity { None, Warning, Error };

  struct Outcome {
    Failure failure = Failure::None;
    // The code that a download posts with WM_WRITE_READY; none for the search's own endings.
    std::optional<quint32> writeReady;
    // The message for the user, shown before the code is posted; empty: none.
    QString message;
    QString caption; // empty: the program's own
    Severity severity = Severity::None;
    bool atStateWindow = false; // shown at the script programming state window's corner
    QString gatewayState;       // the gateway's new state after the message; empty: unchanged
    bool ok() const { return failure == Failure::None; }
  };

  virtual ~GatewayReport() = default;

  // What the main window says to a WM_WRITE_READY code; empty where the download has spoken.
  static QString writeReadyMessage(quint32 code);

  virtual void logLine(const QString &text);
  virtual void gatewayState(const QString &) {}
  virtual void stateText(const QString &) {}
  virtual void phase(Phase) {}
  // Bytes of the script handed to the line, of total.
  virtual void progress(qint64 /*done*/, qint64 /*total*/) {}
  // A question with OK (true) and Cancel.
  virtual bool question(const QString &) { return true; }
  virtual void outcome(const Outcome &) {}
};
