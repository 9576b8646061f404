#include "platform/VersionInfo.h"

#include "BuildInfo.h"

namespace {
VersionInfo *g_installed = nullptr;
}

VersionInfo &VersionInfo::instance() {
  if (g_installed)
    return *g_installed;
  static CompiledVersionInfo compiled;
  return compiled;
}

void VersionInfo::setInstance(VersionInfo *info) {
  g_installed = info;
}

std::optional<VersionData> CompiledVersionInfo::read() const {
  VersionData data;
  data.strings.insert(QStringLiteral("ProductName"), QString::fromUtf8(buildinfo::ProductName));
  data.strings.insert(QStringLiteral("ProductVersion"), QString::fromUtf8(buildinfo::ProductVersion));
  data.strings.insert(QStringLiteral("LegalCopyright"), QString::fromUtf8(buildinfo::LegalCopyright));
  data.strings.insert(QStringLiteral("LegalTrademarks"), QString::fromUtf8(buildinfo::LegalTrademarks));
  return data;
}

FixedVersionInfo::FixedVersionInfo(std::optional<VersionData> data) : m_data(std::move(data)) {
  setInstance(this);
}

FixedVersionInfo::~FixedVersionInfo() {
  if (g_installed == this)
    setInstance(nullptr);
}
