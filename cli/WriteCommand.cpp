// tamberlin-cli write: the "Write Script" workflow on one port or on many at once.
#include "cli/WriteCommand.h"
#include "cli/AnsweringPorts.h"
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/JsonEvents.h"
#include "cli/PortSpec.h"
#include "cli/TextEvents.h"
#include "cli/TraceEvents.h"
#include "gateway/GatewayProtocol.h"
#include "gateway/ScriptFile.h"
#include "platform/AdapterPorts.h"
#include "platform/Clock.h"
#include "platform/Terminal.h"
#include "platform/TerminationSignals.h"
#include "station/ExitCodes.h"
#include "station/PortWriter.h"
#include "station/TracePlace.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
void note(const QString &text) {
  writeText(stderr, QStringLiteral("tamberlin-cli: %1\n").arg(text));
}

// The ports to write, or an exit code with the reason already said.
std::optional<QList<quint16>> choosePorts(const CliOptions &options, int &code) {
  PortSpec::Resolved resolved;
  if (options.all) {
    QStringList notes;
    resolved.ports = answeringPorts(PortSpec::present(), notes);
    for (const QString &n : notes)
      note(n);
    if (resolved.ports.isEmpty()) {
      note(QStringLiteral("no gateway answered on any present port"));
      code = ExitCode::NoGateway;
      return std::nullopt;
    }
    return resolved.ports;
  }
  resolved = options.ports.isEmpty() ? PortSpec::stored() : PortSpec::resolve(options.ports);
  for (const QString &n : resolved.notes)
    note(n);
  if (!resolved.error.isEmpty()) {
    note(resolved.error);
    code = options.ports.isEmpty() || resolved.portError ? ExitCode::Port : ExitCode::Usage;
    return std::nullopt;
  }
  return resolved.ports;
}

// The USB adapter of each port, as the record names it, taken before the write: an adapter pulled
// during the write is still named.
QHash<QString, QString> adaptersOf(const QList<quint16> &ports) {
  QHash<QString, QString> adapters;
  const QList<AdapterPort> present = AdapterPorts::instance().present();
  for (quint16 n : ports)
    if (const std::optional<AdapterPort> adapter = adapterOnPort(present, n))
      adapters.insert(QStringLiteral("COM%1").arg(n), adapter->text());
  return adapters;
}

TraceEvents::Settings traceSettings(const CliOptions &options, const QList<quint16> &ports) {
  QString problem;
  const QString record = options.trace.isEmpty() ? TracePlace::current(&problem) : options.trace;
  if (!problem.isEmpty())
    note(problem);
  const QString script = QDir::toNativeSeparators(QFileInfo(options.script).absoluteFilePath());
  return {record, TraceSource::thisProgram(QStringLiteral("tamberlin-cli")), script,
          ScriptDigest::of(options.script), adaptersOf(ports)};
}

int overallCode(const std::vector<std::unique_ptr<PortWriter>> &writers) {
  bool allWritten = true;
  for (const auto &w : writers) {
    if (w->result().code == ExitCode::Interrupted)
      return ExitCode::Interrupted;
    allWritten = allWritten && w->result().ok;
  }
  if (writers.size() == 1)
    return writers.front()->result().code;
  return allWritten ? ExitCode::Written : ExitCode::NotAllWritten;
}

void runAll(std::vector<std::unique_ptr<PortWriter>> &writers) {
  TerminationSignals termination;
  QObject::connect(&termination, &TerminationSignals::requested, [&writers] {
    for (auto &w : writers)
      w->interrupt();
  });
  for (auto &w : writers)
    w->start();
  Clock::instance().waitUntil([&writers] {
    return std::all_of(writers.cbegin(), writers.cend(), [](const auto &w) { return w->finished(); });
  });
}
} // namespace

int runWrite(const CliOptions &options) {
  if (const QString problem = ScriptFile::problem(options.script, Gateway::MaxScriptSize);
      !problem.isEmpty()) {
    note(problem);
    return ExitCode::ScriptFile;
  }
  if (!options.logDir.isEmpty() && !QDir().mkpath(options.logDir)) {
    note(QStringLiteral("cannot create the log folder %1").arg(options.logDir));
    return ExitCode::Usage;
  }
  int code = ExitCode::Usage;
  const auto ports = choosePorts(options, code);
  if (!ports)
    return code;

  std::unique_ptr<WriteEvents> shown;
  if (options.json)
    shown = std::make_unique<JsonEvents>();
  else
    shown = std::make_unique<TextEvents>(isTerminal(stderr));
  TraceEvents events(*shown, traceSettings(options, *ports));
  PortWriter::Settings settings;
  settings.script = options.script;
  settings.restartWaitMs = quint32(options.restartWaitSeconds) * 1000u;
  settings.logDir = options.logDir;
  settings.absentText = &PortSpec::absentText;
  return writeScript(*ports, settings, events);
}

int writeScript(const QList<quint16> &ports, const PortWriter::Settings &settings, WriteEvents &events) {
  std::vector<std::unique_ptr<PortWriter>> writers;
  for (quint16 n : ports)
    writers.push_back(std::make_unique<PortWriter>(n, settings, events));
  runAll(writers);

  QList<PortResult> results;
  for (const auto &w : writers)
    results << w->result();
  const int code = overallCode(writers);
  events.summary(results, code);
  return code;
}
