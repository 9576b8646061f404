#include "platform/Display.h"

#include <QtGlobal>

DisplayCheck checkDisplay() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    return {DisplayCheck::State::Requested, {}};
  // Every Windows session has a desktop to draw on, seen or not.
  return {DisplayCheck::State::Available, {}};
}
