#include "platform/TerminationSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int number) {
  const unsigned char byte = static_cast<unsigned char>(number);
  // Only async-signal-safe calls here; the event loop does the rest.
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
}
} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {
  if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (::read(g_pipe[0], &byte, 1) == 1)
      emit requested(byte);
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

TerminationSignals::~TerminationSignals() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  delete m_notifier;
  for (int &fd : g_pipe) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}
