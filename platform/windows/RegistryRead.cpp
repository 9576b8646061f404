#include "platform/windows/RegistryRead.h"

#include <string>
#include <vector>

QStringList registrySubKeys(HKEY key, const QString &subKey) {
  HKEY opened = nullptr;
  const std::wstring path = subKey.toStdWString();
  if (RegOpenKeyExW(key, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return {};
  QStringList names;
  std::vector<wchar_t> name(256);
  for (DWORD i = 0;; ++i) {
    DWORD length = DWORD(name.size());
    if (RegEnumKeyExW(opened, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names << QString::fromWCharArray(name.data(), int(length));
  }
  RegCloseKey(opened);
  return names;
}

QString registryString(HKEY key, const QString &subKey, const wchar_t *name) {
  const std::wstring path = subKey.toStdWString();
  DWORD type = 0;
  DWORD size = 0;
  if (RegGetValueW(key, path.c_str(), name, RRF_RT_REG_SZ, &type, nullptr, &size) != ERROR_SUCCESS ||
      size < 2)
    return {};
  std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(key, path.c_str(), name, RRF_RT_REG_SZ, &type, text.data(), &size) != ERROR_SUCCESS)
    return {};
  return QString::fromWCharArray(text.data());
}

std::optional<quint32> registryDword(HKEY key, const QString &subKey, const wchar_t *name) {
  const std::wstring path = subKey.toStdWString();
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegGetValueW(key, path.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return quint32(value);
}
