#include "app/CommandLine.h"

#include <QFileInfo>

namespace CommandLine {

Kind classify(const QString &parameter) {
  if (!parameter.startsWith(QLatin1Char('/')))
    return Kind::ScriptPath;
  // On this platform absolute paths begin with "/": "/home/x.qcs" is a script, not "/H...".
  if (QFileInfo(parameter).isFile())
    return Kind::ScriptPath;
  const QString head = parameter.left(2).toUpper();
  if (head == QLatin1String("/L"))
    return Kind::Level;
  if (head == QLatin1String("/P"))
    return Kind::Port;
  if (head == QLatin1String("/F"))
    return Kind::File;
  // "/home/x.qcs" that does not exist is still a path, and is reported as missing.
  if (parameter.indexOf(QLatin1Char('/'), 1) > 0)
    return Kind::ScriptPath;
  return Kind::OtherSwitch;
}

QString value(const QString &parameter) {
  return parameter.mid(2);
}

std::optional<int> level(const QString &parameter) {
  const QString text = value(parameter);
  if (text.isEmpty())
    return 0;
  bool ok = false;
  const int n = text.toInt(&ok);
  return ok ? std::optional<int>(n) : std::nullopt;
}

std::optional<quint16> port(const QString &parameter) {
  bool ok = false;
  const int n = value(parameter).toInt(&ok);
  if (!ok || n < 1 || n > 65535)
    return std::nullopt;
  return quint16(n);
}

QString usage(const QString &comPortMeaning) {
  return QStringLiteral("Usage: tamberlin [/L<level>] [/P<port>] [/F<script>] [<script> ...]\n"
                        "Writes compiled script files (.qcs) into a KORVANE gateway.\n"
                        "\n"
                        "  /L<level>   show the state window (the log): 5 at the end of start-up, 6 or more\n"
                        "              before a /F download\n"
                        "  /P<port>    use COM<port> for this run; the stored port setting is not changed\n"
                        "  /F<script>  write the script, then end with exit code 1 when it was written;\n"
                        "              after a failure the program stays open with the port closed\n"
                        "  <script>    write the script and stay open\n"
                        "  --station   open the station window, which writes many gateways at once\n"
                        "  --help      show this text\n"
                        "  --version   show the version\n"
                        "\n") +
         comPortMeaning +
         QStringLiteral("\nTAMBERLIN_LOG=<file> (or - for standard error) copies every log line there.\n");
}

} // namespace CommandLine
