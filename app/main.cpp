#include "app/CommandLine.h"
#include "app/DisplayStart.h"
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/ComPorts.h"
#include "platform/Display.h"
#include "platform/QtMessages.h"
#include "platform/Terminal.h"

#include <BuildInfo.h>

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[]) {
  // Answered before any window exists, so they work without a display.
  QStringList parameters;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(qPrintable(CommandLine::usage(comPortMeaning())), stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("%s %s\n", buildinfo::ProductName, buildinfo::ProductVersion);
      return 0;
    }
    parameters << QString::fromLocal8Bit(argv[i]);
  }
  // Qt's -platform option asks for a platform as QT_QPA_PLATFORM does.
  const bool platformAsked =
      parameters.contains(QLatin1String("-platform")) || parameters.contains(QLatin1String("--platform"));
  const DisplayStart::Decision start = DisplayStart::decide(
      platformAsked ? DisplayCheck{DisplayCheck::State::Requested, {}} : checkDisplay(), parameters);
  writeText(stderr, start.message);
  if (start.start == DisplayStart::Start::Refuse)
    return 2;
  if (start.start == DisplayStart::Start::Offscreen)
    useOffscreenPlatform();
  setFoundNoDisplay(start.start == DisplayStart::Start::Offscreen);
  // Where nobody sees the windows, Qt's remarks about them are no news for the user: judged from
  // the platform asked for while Qt starts, and from the one it took afterwards.
  keepQtMessagesOffStandardError(
      isInvisiblePlatform(qEnvironmentVariable("QT_QPA_PLATFORM").section(QLatin1Char(':'), 0, 0)));
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tamberlin"));
  // Offscreen, chosen here or by the environment: messages go to standard error and a failed /F
  // run ends instead of waiting for a user.
  setRunsWithoutDisplay(isInvisiblePlatform(QGuiApplication::platformName()));
  keepQtMessagesOffStandardError(runsWithoutDisplay());
  createWindows();
  Form1->show();
  return app.exec();
}
