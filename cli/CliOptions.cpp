#include "cli/CliOptions.h"

namespace {
using Command = CliOptions::Command;

Command commandOf(const QString &word) {
  if (word == QLatin1String("write"))
    return Command::Write;
  if (word == QLatin1String("find"))
    return Command::Find;
  if (word == QLatin1String("ports"))
    return Command::Ports;
  if (word == QLatin1String("doctor"))
    return Command::Doctor;
  if (word == QLatin1String("trace"))
    return Command::Trace;
  return Command::None;
}

bool takesValue(const QString &option) {
  return option == QLatin1String("--port") || option == QLatin1String("--log-dir") ||
         option == QLatin1String("--restart-wait") || option == QLatin1String("--trace") ||
         option == QLatin1String("--last");
}

// Why the option does not belong to the command given before it; empty when it does.
QString misplaced(const CliOptions &options, const QString &name) {
  if (name == QLatin1String("--json"))
    return {};
  if (name == QLatin1String("--trace")) {
    if (options.command == Command::Write || options.command == Command::Trace)
      return {};
    return QStringLiteral("--trace belongs to the write and trace commands");
  }
  if (name == QLatin1String("--last"))
    return options.command == Command::Trace ? QString()
                                             : QStringLiteral("--last belongs to the trace command");
  return options.command == Command::Write ? QString()
                                           : QStringLiteral("%1 belongs to the write command").arg(name);
}

// Applies one option with its value; false with the reason in options.error.
bool apply(CliOptions &options, const QString &name, const QString &value) {
  if (const QString error = misplaced(options, name); !error.isEmpty()) {
    options.error = error;
    return false;
  }
  if (name == QLatin1String("--port")) {
    options.ports << value;
  } else if (name == QLatin1String("--all")) {
    options.all = true;
  } else if (name == QLatin1String("--json")) {
    options.json = true;
  } else if (name == QLatin1String("--log-dir")) {
    options.logDir = value;
  } else if (name == QLatin1String("--trace")) {
    options.trace = value;
    if (value.isEmpty()) {
      options.error = QStringLiteral("--trace needs a file");
      return false;
    }
  } else if (name == QLatin1String("--last")) {
    bool ok = false;
    options.last = value.toInt(&ok);
    if (!ok || options.last < 1) {
      options.error = QStringLiteral("--last takes a number of entries from 1 up, not \"%1\"").arg(value);
      return false;
    }
  } else if (name == QLatin1String("--restart-wait")) {
    bool ok = false;
    options.restartWaitSeconds = value.toInt(&ok);
    if (!ok || options.restartWaitSeconds < 0 || options.restartWaitSeconds > 3600) {
      options.error = QStringLiteral("--restart-wait takes seconds from 0 to 3600, not \"%1\"").arg(value);
      return false;
    }
  } else {
    options.error = QStringLiteral("unknown option %1").arg(name);
    return false;
  }
  return true;
}

bool readOption(CliOptions &options, const QStringList &arguments, int &i) {
  QString name = arguments.at(i);
  QString value;
  const qsizetype equals = name.indexOf(QLatin1Char('='));
  if (equals > 0) {
    value = name.mid(equals + 1);
    name = name.left(equals);
  } else if (takesValue(name)) {
    if (i + 1 >= arguments.size()) {
      options.error = QStringLiteral("%1 needs a value").arg(name);
      return false;
    }
    value = arguments.at(++i);
  }
  if (equals > 0 && !takesValue(name)) {
    options.error = QStringLiteral("%1 takes no value").arg(name);
    return false;
  }
  return apply(options, name, value);
}

bool readWord(CliOptions &options, const QString &word) {
  if (options.command == Command::None) {
    options.command = commandOf(word);
    if (options.command == Command::None)
      options.error = QStringLiteral("unknown command \"%1\"").arg(word);
    return options.command != Command::None;
  }
  if (options.command == Command::Write && options.script.isEmpty()) {
    options.script = word;
    return true;
  }
  options.error = QStringLiteral("unexpected \"%1\"").arg(word);
  return false;
}

void checkComplete(CliOptions &options) {
  if (!options.error.isEmpty() || options.help || options.version)
    return;
  if (options.command == Command::None)
    options.error = QStringLiteral("no command given");
  else if (options.command == Command::Write && options.script.isEmpty())
    options.error = QStringLiteral("write needs the script file");
  else if (options.all && !options.ports.isEmpty())
    options.error = QStringLiteral("--all and --port exclude each other");
}
} // namespace

CliOptions parseCliOptions(const QStringList &arguments) {
  CliOptions options;
  bool optionsEnded = false;
  for (int i = 0; i < arguments.size() && options.error.isEmpty(); ++i) {
    const QString &argument = arguments.at(i);
    if (!optionsEnded && argument == QLatin1String("--")) {
      optionsEnded = true;
    } else if (!optionsEnded && argument == QLatin1String("--help")) {
      options.help = true;
    } else if (!optionsEnded && argument == QLatin1String("--version")) {
      options.version = true;
    } else if (!optionsEnded && argument.startsWith(QLatin1String("--"))) {
      readOption(options, arguments, i);
    } else if (!readWord(options, argument)) {
      break;
    }
  }
  checkComplete(options);
  return options;
}
