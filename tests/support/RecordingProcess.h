#pragma once

#include "platform/Process.h"

#include <QList>

// Records exit requests instead of ending the test. Installs itself for its lifetime.
class RecordingProcess : public Process {
public:
  RecordingProcess() { Process::setInstance(this); }
  ~RecordingProcess() override { Process::setInstance(nullptr); }
  void exitProcess(int code) override { exitCodes << code; }
  QList<int> exitCodes;
};
