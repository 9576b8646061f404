#pragma once

struct CliOptions;

// The commands of tamberlin-cli; each returns the program's exit code.
int runWrite(const CliOptions &options);
int runFind(const CliOptions &options);
int runPorts(const CliOptions &options);
int runDoctor(const CliOptions &options);
int runTrace(const CliOptions &options);
