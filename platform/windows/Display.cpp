#include "platform/Display.h"

bool chooseOffscreenWithoutDisplay() {
  // Every Windows session has a desktop to draw on, seen or not.
  return false;
}
