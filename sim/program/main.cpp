// korvane-sim: a simulated KORVANE gateway on a pseudo-terminal, for the demo and end-to-end tests.
#include "platform/TerminationSignals.h"
#include "sim/program/PtyGateway.h"
#include "sim/program/SimOptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  SimOptions options;
  QString error;
  if (!options.parse(app.arguments().mid(1), &error)) {
    std::fprintf(stderr, "korvane-sim: %s\n\n%s", qPrintable(error), qPrintable(SimOptions::usage()));
    return 2;
  }
  if (options.helpRequested) {
    std::fputs(qPrintable(SimOptions::usage()), stdout);
    return 0;
  }

  PtyGateway gateway(options);
  if (!gateway.start()) {
    std::fprintf(stderr, "korvane-sim: %s\n", qPrintable(gateway.errorString()));
    return 1;
  }
  std::printf("korvane-sim: COM%u ready on %s\n", unsigned(options.com), qPrintable(gateway.terminalPath()));
  std::fflush(stdout);

  TerminationSignals termination;
  QObject::connect(&termination, &TerminationSignals::requested, &app, [] { QCoreApplication::exit(0); });
  QObject::connect(&gateway, &PtyGateway::done, &app, [] { QCoreApplication::exit(0); });
  const int code = app.exec();
  std::printf("%s\n", qPrintable(gateway.finish()));
  return code;
}
