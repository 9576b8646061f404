#include "platform/Process.h"

#include "platform/Seam.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace {

QList<std::function<void()>> &hooks() {
  static QList<std::function<void()>> list;
  return list;
}
} // namespace

Process &Process::instance() {
  return Seam<Process>::instance<RealProcess>();
}

void Process::setInstance(Process *process) {
  Seam<Process>::installed = process;
}

void Process::addExitHook(std::function<void()> hook) {
  hooks().append(std::move(hook));
}

void Process::runExitHooks() {
  const auto list = hooks();
  for (const auto &hook : list)
    hook();
}

void RealProcess::exitProcess(int code) {
  runExitHooks();
  std::fflush(stdout);
  std::fflush(stderr);
  std::_Exit(code);
}
