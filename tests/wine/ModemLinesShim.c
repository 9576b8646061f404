// Test support, never shipped: a pseudo-terminal has no modem lines, and Wine's wait for serial
// events gives up when it cannot read them. Preloaded into Wine, this answers the modem-line
// requests on pseudo-terminals as a port with DSR and CTS up would, and passes the rest on. With
// TAMBERLIN_REFUSE_MODEM_LINES set it refuses to set the lines, as a driver without them does.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int isPseudoTerminal(int fd) {
  struct stat st;
  // Unix98 pseudo-terminal slaves have the majors 136 to 143.
  return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...) {
  static int (*real)(int, unsigned long, void *);
  if (!real)
    real = (int (*)(int, unsigned long, void *))dlsym(RTLD_NEXT, "ioctl");
  va_list args;
  va_start(args, request);
  void *argument = va_arg(args, void *);
  va_end(args);
  switch (request) {
  case TIOCMGET:
    if (isPseudoTerminal(fd)) {
      *(int *)argument = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
      return 0;
    }
    break;
  case TIOCMBIS:
  case TIOCMBIC:
  case TIOCMSET:
    if (isPseudoTerminal(fd) && getenv("TAMBERLIN_REFUSE_MODEM_LINES")) {
      errno = EINVAL;
      return -1;
    }
    if (isPseudoTerminal(fd))
      return 0;
    break;
  default:
    break;
  }
  return real(fd, request, argument);
}
