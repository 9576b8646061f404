#pragma once

#include "sim/KorvaneSim.h"

#include <QString>
#include <QStringList>

// The command line of korvane-sim.
struct SimOptions {
  quint16 com = 0;
  KorvaneSim::Config config;
  QString outFile;
  bool pace = false;
  bool exitAfterDownload = false;
  int lingerMs = 1500;     // quiet time after the download before the end
  int idleExitSeconds = 0; // 0: never
  bool replace = false;
  int adapterLatencyMs = 0; // 0: the bytes reach the program as the line delivers them

  // Parses arguments (without the program name). Returns false with a message in *error.
  bool parse(const QStringList &arguments, QString *error);
  bool helpRequested = false;

  static QString usage();
};
