#pragma once

#include <QString>

// The system's text for a Windows error number (GetLastError, a registry function's result).
QString windowsErrorText(unsigned long error);
