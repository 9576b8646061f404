#pragma once

#include <functional>

// Ending the process with an exit code. Tests install a recorder instead.
class Process {
public:
  virtual ~Process() = default;
  // Ends the process at once with the exit code; the recorder used in tests returns instead.
  virtual void exitProcess(int code) = 0;

  static Process &instance();
  static void setInstance(Process *process);

  // Work that must be done before the process ends, such as releasing the serial port. The id
  // lets an owner that goes away first take its hook back, so hooks do not pile up.
  static int addExitHook(std::function<void()> hook);
  static void removeExitHook(int id);
  static void runExitHooks();
};

// Runs the exit hooks, flushes the standard streams and ends the process without unwinding the
// windows, so that no handler runs after the decision to end.
class RealProcess : public Process {
public:
  void exitProcess(int code) override;
};
