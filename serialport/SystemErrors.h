#pragma once

#include <QString>

// The system's text for one of its error numbers: an errno on Linux, a Windows error code on
// Windows. Serial error codes that have no code of their own carry it negated.
QString systemErrorText(int error);
