#pragma once

#include <QString>

// Without a display (a server, a script run over ssh) the program runs without showing windows
// instead of failing to start: the offscreen platform is chosen unless the user chose one.
// Returns true when it made that choice.
bool chooseOffscreenWithoutDisplay();

// Whether a window platform shows nothing to anyone ("offscreen", "minimal").
bool isInvisiblePlatform(const QString &platformName);

// Whether the program runs where nobody sees its windows, so nobody can answer a question: set
// by the program once it knows its platform. Tests leave it false.
bool runsWithoutDisplay();
void setRunsWithoutDisplay(bool without);
