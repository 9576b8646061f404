#pragma once

#include <cstdio>

// Whether a standard stream goes to a terminal that a person watches (live lines may be redrawn).
bool isTerminal(std::FILE *stream);
