#include "platform/Terminal.h"

#include <io.h>
#include <windows.h>

bool isTerminal(std::FILE *stream) {
  // A console, not a pipe or a file: only a console has a console mode.
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}
