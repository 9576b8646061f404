#include "platform/Terminal.h"

#include <unistd.h>

bool isTerminal(std::FILE *stream) {
  return isatty(fileno(stream)) == 1;
}

void writeText(std::FILE *stream, const QString &text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
}
