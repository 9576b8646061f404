#pragma once

#include <QtGlobal>

// Waits at least ms milliseconds while window messages keep being handled; handles them at
// least once, also for 0.
void DelayWithMessages(quint32 ms);

// Handles the pending window messages once ("pump messages").
void ProcessMessages();
