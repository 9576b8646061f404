#pragma once

#include <QString>

#include <functional>

// The program's one log. Every line goes to the copy for unattended runs (TAMBERLIN_LOG) and to
// every installed sink: the state window, a command-line front end, a test.
namespace Log {

enum class Kind {
  Line, // a step of a port operation, an exchange or a download
  Trace // received bytes shown as they came, without trimming the view
};

using Sink = std::function<void(const QString &text, Kind kind)>;

void line(const QString &text);
void trace(const QString &text);

// Returns an id for removeSink.
int addSink(Sink sink);
void removeSink(int id);

} // namespace Log
