#pragma once

#include <QString>

// What the system offers to show windows on, looked at before the window platform starts: Qt ends
// the process with a misleading advice ("Reinstalling the application may fix this problem") when
// it cannot open the display it was pointed to.
struct DisplayCheck {
  enum class State {
    Requested,  // the environment names a window platform (QT_QPA_PLATFORM): its choice holds
    Available,  // a display that can be opened
    None,       // no display is named at all (a server, a container, ssh without -X)
    Unreachable // a display is named but cannot be opened (no X server there, a closed forwarding)
  };
  State state = State::None;
  QString problem; // Unreachable: which display and why, e.g. "display :99 cannot be opened"
};

DisplayCheck checkDisplay();

// Makes the window platform start offscreen (before the application object exists).
void useOffscreenPlatform();

// Whether a window platform shows nothing to anyone ("offscreen", "minimal").
bool isInvisiblePlatform(const QString &platformName);

// Whether the program runs where nobody sees its windows, so nobody can answer a question: set
// by the program once it knows its platform. Tests leave it false.
bool runsWithoutDisplay();
void setRunsWithoutDisplay(bool without);

// Whether the program found no display at all and runs offscreen by its own choice (not because
// the environment asked for it): then every script it is given ends the run after its download.
bool foundNoDisplay();
void setFoundNoDisplay(bool none);
