#pragma once

#include "platform/Clock.h"

#include <QtGlobal>

// Waits at least ms milliseconds while window messages keep being handled; handles them at
// least once, also for 0.
void DelayWithMessages(quint32 ms);

// Handles the pending window messages once ("pump messages").
void ProcessMessages();

// Handles events until done() holds or ms have passed; the final test decides.
template <class Done> bool WaitWithMessages(Done done, quint32 ms) {
  Clock &clock = Clock::instance();
  const quint64 deadline = clock.nowMs() + ms;
  clock.processMessages();
  while (!done() && clock.nowMs() < deadline)
    clock.waitForEvents(deadline);
  return done();
}
