#pragma once

#include "platform/Process.h"

#include <QList>

#include <functional>

// Records exit requests instead of ending the test. Installs itself for its lifetime.
class RecordingProcess : public Process {
public:
  RecordingProcess() { Process::setInstance(this); }
  ~RecordingProcess() override { Process::setInstance(nullptr); }
  void exitProcess(int code) override {
    exitCodes << code;
    if (onExit)
      onExit();
  }
  QList<int> exitCodes;
  // Runs at the moment the process would end, to see what had happened by then.
  std::function<void()> onExit;
};
