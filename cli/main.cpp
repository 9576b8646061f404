// tamberlin-cli: the window program's jobs without a display.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "station/ExitCodes.h"
#include "cli/SystemUsage.h"
#include "platform/Terminal.h"

#include <BuildInfo.h>

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tamberlin-cli"));
  const CliOptions options = parseCliOptions(app.arguments().mid(1));
  if (options.version) {
    std::printf("tamberlin-cli %s\n", buildinfo::ProductVersion);
    return ExitCode::Written;
  }
  if (options.help) {
    std::fputs(qPrintable(cliUsage(options.command, systemUsage())), stdout);
    return ExitCode::Written;
  }
  if (!options.error.isEmpty()) {
    writeText(stderr, QStringLiteral("tamberlin-cli: %1\nTry 'tamberlin-cli --help'.\n").arg(options.error));
    return ExitCode::Usage;
  }
  switch (options.command) {
  case CliOptions::Command::Write:
    return runWrite(options);
  case CliOptions::Command::Find:
    return runFind(options);
  case CliOptions::Command::Ports:
    return runPorts(options);
  case CliOptions::Command::Doctor:
    return runDoctor(options);
  case CliOptions::Command::Trace:
    return runTrace(options);
  case CliOptions::Command::None:
    break;
  }
  return ExitCode::Usage;
}
