// tamberlin-cli ports: the port map with what is known about each entry.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "station/ExitCodes.h"
#include "cli/JsonLines.h"
#include "cli/linux/PortsReport.h"

#include <cstdio>

int runPorts(const CliOptions &options) {
  PortMap map;
  refreshPortMap(map);
  const QList<PortFacts> ports = gatherPortFacts(map);
  if (options.json) {
    for (const PortFacts &port : ports)
      JsonLines::write(PortsReport::portEvent(port));
    JsonLines::write(PortsReport::summaryEvent(ports, map.folder()));
    return ExitCode::Written;
  }
  if (ports.isEmpty()) {
    std::fprintf(stderr, "tamberlin-cli: the port map %s has no entries\n", qPrintable(map.folder()));
    return ExitCode::Written;
  }
  std::fputs(qPrintable(PortsReport::table(ports)), stdout);
  return ExitCode::Written;
}
