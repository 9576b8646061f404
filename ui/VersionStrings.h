#pragma once

#include "platform/VersionInfo.h"

#include <QString>

// Single values of the program's version data, read afresh on every call.

// The named value, or " <name> not available".
QString GetVersionInfoValue(const VersionData &data, const QString &name);
// "ProductVersion"; empty when the program carries no version data.
QString GetProductVersion();
// "ProductName", " V" and the product version; empty when the program carries no version data.
QString GetProductInfoString();
QString GetLegalCopyright();
QString GetLegalTrademarks();
