#pragma once

class TForm1;
class TScriptProgState;
class TOptions;
class TCOM;
class TStatusFenster;
class THelpAbout;
class TProgress;

// One reference per window, set when the windows are created and valid for the whole run.
extern TForm1 *Form1;
extern TScriptProgState *ScriptProgState;
extern TOptions *Options;
extern TCOM *COM;
extern TStatusFenster *StatusFenster;
extern THelpAbout *HelpAbout;
extern TProgress *Progress;

// Creates the program's windows in their order; all but the main window stay hidden.
void createWindows();
// Destroys them in reverse order and clears the references (tests).
void destroyWindows();
