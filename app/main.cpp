#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/Display.h"

#include <BuildInfo.h>

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[]) {
  // Answered before any window exists, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(qPrintable(CommandLine::usage()), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", buildinfo::ProductName, buildinfo::ProductVersion);
      return 0;
    }
  }
  const bool headless = chooseOffscreenWithoutDisplay();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tamberlin"));
  if (headless)
    std::fputs("No display: Tamberlin runs without showing its windows.\n", stderr);
  // Offscreen, chosen here or by the environment: messages go to standard error and a failed /F
  // run ends instead of waiting for a user.
  setRunsWithoutDisplay(isInvisiblePlatform(QGuiApplication::platformName()));
  createWindows();
  Form1->show();
  return app.exec();
}
