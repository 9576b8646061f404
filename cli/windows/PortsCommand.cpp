// tamberlin-cli ports on Windows: the COM ports the system lists, free or held, with their USB
// identity.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "station/ExitCodes.h"
#include "cli/JsonLines.h"
#include "cli/windows/ComPortProbe.h"
#include "cli/windows/ComPortsReport.h"

#include <cstdio>

int runPorts(const CliOptions &options) {
  const QList<ComPortFacts> ports = gatherComPortFacts();
  if (options.json) {
    for (const ComPortFacts &port : ports)
      JsonLines::write(ComPortsReport::portEvent(port));
    JsonLines::write(ComPortsReport::summaryEvent(ports));
    return ExitCode::Written;
  }
  if (ports.isEmpty()) {
    std::fprintf(stderr, "tamberlin-cli: the system has no COM port; is the gateway's USB adapter plugged "
                         "in and its driver installed?\n");
    return ExitCode::Written;
  }
  std::fputs(qPrintable(ComPortsReport::table(ports)), stdout);
  return ExitCode::Written;
}
