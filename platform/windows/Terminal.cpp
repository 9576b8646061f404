#include "platform/Terminal.h"

#include <algorithm>

#include <io.h>
#include <windows.h>

namespace {
HANDLE handleOf(std::FILE *stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}
} // namespace

bool isTerminal(std::FILE *stream) {
  // A console, not a pipe or a file: only a console has a console mode.
  return isConsole(handleOf(stream));
}

void writeText(std::FILE *stream, const QString &text) {
  const HANDLE handle = handleOf(stream);
  if (!isConsole(handle)) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    return;
  }
  // What the stream holds goes first, so that lines keep their order.
  std::fflush(stream);
  // In pieces: old consoles refuse a single write of much more than 32 KiB.
  constexpr qsizetype piece = 8192;
  for (qsizetype at = 0; at < text.size();) {
    qsizetype n = std::min(piece, text.size() - at);
    if (at + n < text.size() && text.at(at + n - 1).isHighSurrogate())
      --n; // a character in two halves stays whole
    DWORD written = 0;
    WriteConsoleW(handle, reinterpret_cast<const wchar_t *>(text.utf16()) + at, DWORD(n), &written, nullptr);
    at += n;
  }
}
