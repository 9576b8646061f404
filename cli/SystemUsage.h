#pragma once

#include "cli/CliOptions.h"

// The parts of the help texts that differ between systems, each a whole line or lines ending in a
// line feed; nullptr leaves a part out.
struct SystemUsage {
  const char *portsCommand = nullptr; // the ports command's line in the list of commands
  const char *portForms = nullptr;    // the paragraph on the forms of P and the stored port
  const char *portOption = nullptr;   // write's --port line
  const char *allOption = nullptr;    // write's --all line
  const char *interrupted = nullptr;  // the line of exit code 8
  const char *find = nullptr;         // what find does, above its options
  const char *ports = nullptr;        // what ports does and its JSON, below its usage line
  const char *doctor = nullptr;       // what doctor does, below its usage line
  const char *tracePlace = nullptr;   // where the record of every write lies by default
};

// This system's parts (cli/linux, cli/windows).
const SystemUsage &systemUsage();

// The help text of a command, or of the program for Command::None, with the given system's parts;
// tamberlin-cli prints it with systemUsage().
QString cliUsage(CliOptions::Command command, const SystemUsage &system);
