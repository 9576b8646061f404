#include "platform/Process.h"

#include "platform/Seam.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace {

// In the order they were added.
QList<std::pair<int, std::function<void()>>> &hooks() {
  static QList<std::pair<int, std::function<void()>>> list;
  return list;
}
int lastHookId = 0;
} // namespace

Process &Process::instance() {
  return Seam<Process>::instance<RealProcess>();
}

void Process::setInstance(Process *process) {
  Seam<Process>::installed = process;
}

int Process::addExitHook(std::function<void()> hook) {
  hooks().append({++lastHookId, std::move(hook)});
  return lastHookId;
}

void Process::removeExitHook(int id) {
  hooks().removeIf([id](const auto &entry) { return entry.first == id; });
}

void Process::runExitHooks() {
  const auto list = hooks();
  for (const auto &entry : list)
    entry.second();
}

void RealProcess::exitProcess(int code) {
  runExitHooks();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}
