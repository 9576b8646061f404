#pragma once

#include <QString>

enum class PortFailure;

// The system's text for one of its error numbers: an errno on Linux, a Windows error code on
// Windows. Serial error codes that have no code of their own carry it negated.
QString systemErrorText(int error);
// What a system error that has no code of its own means to the port manager on this system.
PortFailure systemPortFailure(int error);
