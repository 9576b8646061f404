#include "platform/Process.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace {
Process *g_installed = nullptr;

QList<std::function<void()>> &hooks() {
  static QList<std::function<void()>> list;
  return list;
}
} // namespace

Process &Process::instance() {
  if (g_installed)
    return *g_installed;
  static RealProcess real;
  return real;
}

void Process::setInstance(Process *process) {
  g_installed = process;
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
