// The version data of the program file: its VERSIONINFO resource, read through the version API.
#include "platform/VersionInfo.h"

#include "platform/Seam.h"

#include <windows.h>

#include <vector>

namespace {
const char *const kNames[] = {"ProductName",      "ProductVersion",  "LegalCopyright", "LegalTrademarks",
                              "CompanyName",      "FileDescription", "FileVersion",    "InternalName",
                              "OriginalFilename", "Comments"};

std::wstring programPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    if (n < path.size())
      return std::wstring(path.data(), n);
    path.resize(path.size() * 2);
  }
}

class ResourceVersionInfo : public VersionInfo {
public:
  std::optional<VersionData> read() const override {
    const std::wstring path = programPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
      return std::nullopt;
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
      return std::nullopt;
    VersionData data;
    struct Translation {
      WORD language;
      WORD codePage;
    } *translation = nullptr;
    UINT length = 0;
    // Without a translation table no string can be found: every value reads as not available.
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &length) ||
        length < sizeof(Translation))
      return data;
    const QString table = QStringLiteral("\\StringFileInfo\\%1%2\\")
                              .arg(translation->language, 4, 16, QLatin1Char('0'))
                              .arg(translation->codePage, 4, 16, QLatin1Char('0'));
    for (const char *name : kNames) {
      const std::wstring query = (table + QLatin1String(name)).toStdWString();
      wchar_t *value = nullptr;
      if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void **>(&value), &length) && value)
        data.strings.insert(QLatin1String(name), QString::fromWCharArray(value, int(wcsnlen(value, length))));
    }
    return data;
  }
};
} // namespace

VersionInfo &VersionInfo::instance() {
  return Seam<VersionInfo>::instance<ResourceVersionInfo>();
}
