#pragma once

#include <QFileInfo>
#include <QString>

// An X11 display name that no server on this machine serves: no socket and no lock file for it.
inline QString unservedX11Display() {
  for (int n = 90; n < 200; ++n)
    if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
        !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
      return QStringLiteral(":%1").arg(n);
  return {};
}
