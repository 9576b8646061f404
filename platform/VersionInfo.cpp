#include "platform/VersionInfo.h"

#include "platform/Seam.h"

#include "BuildInfo.h"

void VersionInfo::setInstance(VersionInfo *info) {
  Seam<VersionInfo>::installed = info;
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
  if (Seam<VersionInfo>::installed == this)
    setInstance(nullptr);
}
