#pragma once

#include <QString>
#include <QStringList>

// What tamberlin-cli was asked to do.
struct CliOptions {
  enum class Command { None, Write, Find, Ports, Doctor, Trace };

  Command command = Command::None;
  bool help = false;    // --help, alone or after a command
  bool version = false; // --version
  QStringList ports;    // --port, as given: COMn, n or a device path
  bool all = false;     // --all
  bool json = false;    // --json
  QString logDir;       // --log-dir
  int restartWaitSeconds = 10;
  QString trace; // --trace: the record of every write; empty: the place in the settings
  int last = 0;  // --last: the newest entries only; 0: all
  QString script;
  // Empty when the command line is usable; otherwise what is wrong with it.
  QString error;
};

// Reads the parameters (without the program's name).
CliOptions parseCliOptions(const QStringList &arguments);

// The help text of a command, or of the program for Command::None, with only the lines that every
// system shares (cli/SystemUsage.h adds the system's own).
QString cliUsage(CliOptions::Command command);
