#include "platform/windows/WindowsError.h"

#include <windows.h>

QString windowsErrorText(unsigned long error) {
  wchar_t *buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
  QString text = n ? QString::fromWCharArray(buffer, int(n)).trimmed() : QString();
  LocalFree(buffer);
  if (text.isEmpty())
    text = QStringLiteral("system error %1").arg(error);
  return text;
}
