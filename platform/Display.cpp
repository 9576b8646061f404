#include "platform/Display.h"

#include <QByteArray>
#include <QtGlobal>

namespace {
bool &withoutDisplay() {
  static bool without = false;
  return without;
}

bool &noDisplay() {
  static bool none = false;
  return none;
}
} // namespace

void useOffscreenPlatform() {
  qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}

bool isInvisiblePlatform(const QString &platformName) {
  return platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal");
}

bool runsWithoutDisplay() {
  return withoutDisplay();
}

void setRunsWithoutDisplay(bool without) {
  withoutDisplay() = without;
}

bool foundNoDisplay() {
  return noDisplay();
}

void setFoundNoDisplay(bool none) {
  noDisplay() = none;
}
