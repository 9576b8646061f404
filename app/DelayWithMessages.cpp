#include "app/DelayWithMessages.h"

#include "platform/Clock.h"

void DelayWithMessages(quint32 ms) {
  Clock &clock = Clock::instance();
  const quint64 target = clock.nowMs() + ms;
  clock.processMessages();
  while (clock.nowMs() < target)
    clock.waitForEvents(target);
}

void ProcessMessages() {
  Clock::instance().processMessages();
}
