#include "platform/Log.h"

#include "platform/LogMirror.h"

#include <map>

namespace {
struct Sinks {
  std::map<int, Log::Sink> byId;
  int next = 1;
};

Sinks &sinks() {
  static Sinks s;
  return s;
}

void deliver(const QString &text, Log::Kind kind) {
  // A sink may remove itself while it runs: iterate over a copy.
  const std::map<int, Log::Sink> current = sinks().byId;
  for (const auto &[id, sink] : current)
    sink(text, kind);
}
} // namespace

void Log::line(const QString &text) {
  LogMirror::write(text);
  deliver(text, Kind::Line);
}

void Log::trace(const QString &text) {
  deliver(text, Kind::Trace);
}

int Log::addSink(Sink sink) {
  const int id = sinks().next++;
  sinks().byId.emplace(id, std::move(sink));
  return id;
}

void Log::removeSink(int id) {
  sinks().byId.erase(id);
}
