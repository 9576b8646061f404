#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/ExitCodes.h"

#include <cstdio>

int runWrite(const CliOptions &) {
  std::fprintf(stderr, "tamberlin-cli: write is not available in this build\n");
  return ExitCode::Usage;
}
