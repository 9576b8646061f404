#pragma once

// Qt's own remarks (warnings, notes, debug output) about a platform that nobody sees, such as
// "XDG_RUNTIME_DIR not set" or "This plugin does not support propagateSizeHints()", are no news
// for the user of an unattended run and would stand in front of the program's own messages.
// While `off` is true they go to the log copy (TAMBERLIN_LOG) instead of standard error; Qt's
// critical and fatal messages still reach standard error. May be called again to change it.
void keepQtMessagesOffStandardError(bool off);
