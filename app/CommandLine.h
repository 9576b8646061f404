#pragma once

#include <QString>

#include <optional>

// How a command-line parameter is read. Switches are recognised by their first two characters in
// upper case; everything else is the path of a script to write.
namespace CommandLine {

enum class Kind {
  Level,       // /L<level>: the state window's level
  Port,        // /P<n>: the port for this run
  File,        // /F<path>: write the script and end with exit code 1 on success
  OtherSwitch, // any other parameter that begins with "/"
  ScriptPath   // a bare path: write the script
};

Kind classify(const QString &parameter);

// The text after the two switch characters, as it was typed.
QString value(const QString &parameter);

// /L: 0 for "/L" alone; nothing when the value is not an integer.
std::optional<int> level(const QString &parameter);
// /P: nothing when the value is not a port number (1 to 65535).
std::optional<quint16> port(const QString &parameter);

// The help text; comPortMeaning is the line on what "COM<n>" names on this system.
QString usage(const QString &comPortMeaning);

} // namespace CommandLine
