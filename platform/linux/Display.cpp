#include "platform/Display.h"

#include <QByteArray>
#include <QtGlobal>

bool chooseOffscreenWithoutDisplay() {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY") ||
      qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
    return false;
  qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
  return true;
}
