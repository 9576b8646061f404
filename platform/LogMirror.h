#pragma once

#include <QString>

// A copy of the log for unattended runs: when the environment variable TAMBERLIN_LOG names a file
// (or "-" for standard error), every log line is also appended there, with a time stamp.
namespace LogMirror {
void write(const QString &line);
} // namespace LogMirror
