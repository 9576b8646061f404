#pragma once

#include "platform/Display.h"

#include <QString>
#include <QStringList>

// How the window program starts where it may have no display to show its window on.
namespace DisplayStart {

enum class Start {
  AsUsual,   // the display, or the platform that the environment asks for
  Offscreen, // no display: the run has a script to write and ends after it
  Refuse     // no display and nothing to do without a user: end with exit code 2
};

struct Decision {
  Start start = Start::AsUsual;
  QString message; // for standard error; empty when there is nothing to say
};

// Whether the command line gives work that needs no user: /F or a bare script path.
bool hasScriptToWrite(const QStringList &parameters);

Decision decide(const DisplayCheck &display, const QStringList &parameters);

} // namespace DisplayStart
