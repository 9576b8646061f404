// The parameters of the window program and of tamberlin-cli. Properties: a switch is what its first
// two characters say, a port is 1 to 65535 and matches the digits typed, a level reads back as the
// number typed; a command line that tamberlin-cli accepts is complete and consistent, and reading
// it again gives the same options.
#include "app/CommandLine.h"
#include "cli/CliOptions.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"

#include <QCoreApplication>

namespace {

using Kind = CommandLine::Kind;

void checkWindowParameter(const QString &p) {
  const Kind kind = CommandLine::classify(p);
  FUZZ_CHECK(CommandLine::value(p) == p.mid(2), "the value is what follows the switch");
  if (!p.startsWith(u'/'))
    FUZZ_CHECK(kind == Kind::ScriptPath, "what does not begin with / is a script path");
  const QString head = p.left(2).toUpper();
  if (kind == Kind::Level)
    FUZZ_CHECK(head == QLatin1String("/L"), "a level switch begins with /L");
  if (kind == Kind::Port)
    FUZZ_CHECK(head == QLatin1String("/P"), "a port switch begins with /P");
  if (kind == Kind::File)
    FUZZ_CHECK(head == QLatin1String("/F"), "a file switch begins with /F");
  if (const auto port = CommandLine::port(p)) {
    FUZZ_CHECK(*port >= 1, "port numbers begin at 1");
    FUZZ_CHECK(CommandLine::value(p).trimmed().endsWith(QString::number(*port)),
               "the port is the number typed");
  }
  if (const auto level = CommandLine::level(p)) {
    if (CommandLine::value(p).isEmpty())
      FUZZ_CHECK(*level == 0, "/L alone is level 0");
    else
      FUZZ_CHECK(CommandLine::value(p).trimmed().endsWith(QString::number(qAbs(qint64(*level)))),
                 "the level is the number typed");
  }
}

bool sameOptions(const CliOptions &a, const CliOptions &b) {
  return a.command == b.command && a.help == b.help && a.version == b.version && a.ports == b.ports &&
         a.all == b.all && a.json == b.json && a.logDir == b.logDir &&
         a.restartWaitSeconds == b.restartWaitSeconds && a.script == b.script && a.error == b.error;
}

void checkCli(const QStringList &arguments) {
  const CliOptions options = parseCliOptions(arguments);
  FUZZ_CHECK(sameOptions(options, parseCliOptions(arguments)), "the same arguments give the same options");
  FUZZ_CHECK(!cliUsage(options.command).isEmpty(), "every command has a help text");
  if (!options.error.isEmpty())
    return;
  FUZZ_CHECK(options.command != CliOptions::Command::None || options.help || options.version,
             "an accepted command line says what to do");
  FUZZ_CHECK(options.restartWaitSeconds >= 0 && options.restartWaitSeconds <= 3600,
             "the restart wait is bounded");
  if (options.help || options.version)
    return;
  FUZZ_CHECK(!(options.all && !options.ports.isEmpty()), "--all and --port exclude each other");
  if (options.command == CliOptions::Command::Write)
    FUZZ_CHECK(!options.script.isEmpty() && arguments.contains(options.script),
               "write names a script it was given");
  else
    FUZZ_CHECK(options.script.isEmpty() && options.ports.isEmpty() && !options.all &&
                   options.logDir.isEmpty(),
               "only write takes write's options");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  static QCoreApplication app(*argc, *argv);
  return 0;
}

// Input: arguments separated by zero bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInput input(data, size);
  QStringList arguments;
  for (const QByteArray &part : input.rest().split('\0'))
    arguments << QString::fromUtf8(part);
  for (const QString &argument : arguments)
    checkWindowParameter(argument);
  checkCli(arguments);
  return 0;
}
