#include "ui/VersionStrings.h"

namespace {
QString valueOfProgram(const QString &name) {
  const std::optional<VersionData> data = VersionInfo::instance().read();
  return data ? GetVersionInfoValue(*data, name) : QString();
}
} // namespace

QString GetVersionInfoValue(const VersionData &data, const QString &name) {
  const auto it = data.strings.constFind(name);
  return it != data.strings.constEnd() ? *it : QStringLiteral(" %1 not available").arg(name);
}

QString GetProductVersion() {
  return valueOfProgram(QStringLiteral("ProductVersion"));
}

QString GetProductInfoString() {
  const std::optional<VersionData> data = VersionInfo::instance().read();
  if (!data)
    return {};
  return GetVersionInfoValue(*data, QStringLiteral("ProductName")) + QStringLiteral(" V") +
         GetProductVersion();
}

QString GetLegalCopyright() {
  return valueOfProgram(QStringLiteral("LegalCopyright"));
}

QString GetLegalTrademarks() {
  return valueOfProgram(QStringLiteral("LegalTrademarks"));
}
