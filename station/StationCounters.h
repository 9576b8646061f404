#pragma once

#include <QString>

// Writes counted until the technician resets them: written, failed, and all that ended.
struct StationCounters {
  quint32 written = 0;
  quint32 failed = 0;
  quint32 total = 0; // written + failed: every write that ended, a stopped one as failed

  void count(bool ok) {
    ++total;
    ++(ok ? written : failed);
  }
  // "12 3 15", as the settings keep it; parse() takes it back (nothing for anything else).
  QString text() const;
  static StationCounters parse(const QString &text);
  bool operator==(const StationCounters &other) const = default;
};
