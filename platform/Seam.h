#pragma once

// The one pattern behind every seam: a process-wide instance of an interface that is the
// production implementation until a test installs another.
template <class Interface> struct Seam {
  static inline Interface *installed = nullptr;

  template <class Production> static Interface &instance() {
    if (installed)
      return *installed;
    static Production production;
    return production;
  }
};
