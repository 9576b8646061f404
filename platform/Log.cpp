#include "platform/Log.h"

#include "platform/LogMirror.h"

#include <QList>

#include <utility>

namespace {
struct Sinks {
  QList<std::pair<int, Log::Sink>> byId;
  int next = 1;
};

Sinks &sinks() {
  static Sinks s;
  return s;
}

void deliver(const QString &text, Log::Kind kind) {
  // A sink may remove itself while it runs: the loop keeps the list as it was (a shared copy,
  // which costs nothing unless a sink changes the list).
  const QList<std::pair<int, Log::Sink>> current = sinks().byId;
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
  sinks().byId.append({id, std::move(sink)});
  return id;
}

void Log::removeSink(int id) {
  sinks().byId.removeIf([id](const std::pair<int, Log::Sink> &s) { return s.first == id; });
}
