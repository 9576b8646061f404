// Ctrl-C, Ctrl-Break and the closing of the console window, turned into a Qt signal on the event
// loop as SIGINT (Ctrl-C) and SIGTERM (the others).
#include "platform/TerminationSignals.h"

#include <QPointer>

#include <csignal>

#include <windows.h>

namespace {
QPointer<TerminationSignals> g_receiver;
HANDLE g_done = nullptr;

BOOL WINAPI onControl(DWORD type) {
  const int number = type == CTRL_C_EVENT ? SIGINT : SIGTERM;
  QMetaObject::invokeMethod(
      g_receiver.data(),
      [number] {
        if (g_receiver)
          emit g_receiver->requested(number);
      },
      Qt::QueuedConnection);
  // The system ends the process when this returns from a close: give the program time to clean up.
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
    WaitForSingleObject(g_done, 4000);
  return TRUE;
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
  g_receiver = this;
  g_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(onControl, TRUE);
}

TerminationSignals::~TerminationSignals() {
  SetConsoleCtrlHandler(onControl, FALSE);
  SetEvent(g_done);
  g_receiver = nullptr;
}
