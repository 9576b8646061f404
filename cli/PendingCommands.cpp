// Commands that are not built yet say so instead of pretending to work.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"

#include <cstdio>

namespace {
int pending(const char *name) {
  std::fprintf(stderr, "tamberlin-cli: %s is not available in this build\n", name);
  return ExitCode::Usage;
}
} // namespace

int runFind(const CliOptions &) {
  return pending("find");
}
int runPorts(const CliOptions &) {
  return pending("ports");
}
int runDoctor(const CliOptions &) {
  return pending("doctor");
}
