#include "platform/CodePages.h"

#include <windows.h>

std::optional<QString> decodeCodePage(quint32 codePage, const QByteArray &bytes) {
  if (bytes.isEmpty())
    return IsValidCodePage(codePage) ? std::optional<QString>(QString()) : std::nullopt;
  const int n = MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()), nullptr, 0);
  if (n <= 0)
    return std::nullopt;
  std::wstring text(size_t(n), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.constData(), int(bytes.size()), text.data(), n);
  return QString::fromStdWString(text);
}
