#pragma once

// Without a display (a server, a script run over ssh) the program runs without showing windows
// instead of failing to start: the offscreen platform is chosen unless the user chose one.
// Returns true when it made that choice.
bool chooseOffscreenWithoutDisplay();
