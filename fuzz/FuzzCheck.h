#pragma once

#include <cstdio>
#include <cstdlib>

// A property that does not hold is a finding: say which and stop, as a crash would, so that the
// fuzzer keeps the input and the replay test fails on it.
#define FUZZ_CHECK(condition, what)                                                                          \
  do {                                                                                                       \
    if (!(condition)) {                                                                                      \
      std::fprintf(stderr, "property failed: %s\n  (%s) at %s:%d\n", what, #condition, __FILE__, __LINE__);  \
      std::abort();                                                                                          \
    }                                                                                                        \
  } while (0)
