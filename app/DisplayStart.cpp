#include "app/DisplayStart.h"

#include "app/CommandLine.h"

#include <algorithm>

namespace DisplayStart {

bool hasScriptToWrite(const QStringList &parameters) {
  return std::any_of(parameters.begin(), parameters.end(), [](const QString &parameter) {
    const CommandLine::Kind kind = CommandLine::classify(parameter);
    return kind == CommandLine::Kind::File || kind == CommandLine::Kind::ScriptPath;
  });
}

Decision decide(const DisplayCheck &display, const QStringList &parameters) {
  using State = DisplayCheck::State;
  if (display.state == State::Requested || display.state == State::Available)
    return {Start::AsUsual, {}};
  QString why = QStringLiteral("No display (DISPLAY and WAYLAND_DISPLAY are not set)");
  if (display.state == State::Unreachable && !display.problem.isEmpty())
    why = display.problem.left(1).toUpper() + display.problem.mid(1);
  if (hasScriptToWrite(parameters))
    return {Start::Offscreen, why + QStringLiteral(": Tamberlin runs without showing its windows.\n")};
  return {Start::Refuse,
          why + QStringLiteral(": the Tamberlin window cannot be shown.\n"
                               "To write a script without a window: tamberlin-cli write --port COM<n> "
                               "<script>\n"
                               "(see tamberlin-cli --help), or tamberlin /P<n> /F<script>.\n"
                               "Over ssh, 'ssh -X' shows the window on your own screen.\n")};
}

} // namespace DisplayStart
