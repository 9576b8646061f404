#include "platform/Display.h"

namespace {
bool &withoutDisplay() {
  static bool without = false;
  return without;
}
} // namespace

bool isInvisiblePlatform(const QString &platformName) {
  return platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal");
}

bool runsWithoutDisplay() {
  return withoutDisplay();
}

void setRunsWithoutDisplay(bool without) {
  withoutDisplay() = without;
}
