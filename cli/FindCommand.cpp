// tamberlin-cli find: the settings page's port search over every present port.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "station/ExitCodes.h"
#include "cli/FindPorts.h"
#include "cli/JsonLines.h"
#include "cli/PortSearchRun.h"
#include "platform/Terminal.h"

#include <QJsonArray>

#include <cstdio>

namespace {
void tellProblems(const PortSearchRun &run, bool json) {
  for (const PortSearchRun::Problem &p : run.problems) {
    if (json)
      JsonLines::write({{"event", "port-error"}, {"port", p.port}, {"code", p.code}, {"message", p.text}});
    else
      writeText(stderr, QStringLiteral("tamberlin-cli: %1: %2\n").arg(p.port, p.text));
  }
}
} // namespace

int runFind(const CliOptions &options) {
  const FindPorts ports = findPorts();
  const QStringList &items = ports.items;
  const PortSearchRun run = searchGatewayPort(items);
  tellProblems(run, options.json);
  const int code = run.found > 0 ? ExitCode::Written : ExitCode::NoGateway;
  const QString found = run.found > 0 ? QStringLiteral("COM%1").arg(run.found) : QString();
  if (options.json) {
    JsonLines::write({{"event", "summary"},
                      {"ok", run.found > 0},
                      {"code", code},
                      {"port", found.isEmpty() ? QJsonValue() : QJsonValue(found)},
                      {"probed", QJsonArray::fromStringList(items)}});
  } else if (run.found > 0) {
    std::printf("%s\n", qPrintable(found));
  } else if (items.isEmpty()) {
    writeText(stderr, QStringLiteral("tamberlin-cli: %1\n").arg(ports.noneText));
  } else {
    writeText(stderr, QStringLiteral("tamberlin-cli: no gateway answered on %1; is it powered, connected and "
                                     "on its configuration interface?\n")
                          .arg(items.join(QStringLiteral(", "))));
  }
  return code;
}
