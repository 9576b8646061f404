#pragma once

#include <QString>

#include <cstdio>

// Whether a standard stream goes to a terminal that a person watches (live lines may be redrawn).
bool isTerminal(std::FILE *stream);

// Writes text to a standard stream so that its reader sees the same characters. Linux: in the
// locale's encoding. Windows: a console is given the characters themselves, whatever its code
// page; a file or a pipe gets UTF-8, as the --json lines are, so that no name is lost to the
// code page of the machine that happened to write it.
void writeText(std::FILE *stream, const QString &text);
