#pragma once

#include <QString>
#include <QStringList>

#include <optional>

#include <windows.h>

// Reading the system's records in the registry, where a missing key or value, or one of another
// type, reads as nothing.

// The names of the keys below key\subKey (subKey empty: below key itself).
QStringList registrySubKeys(HKEY key, const QString &subKey = {});
// A string value of key\subKey; empty when it is missing or of another type.
QString registryString(HKEY key, const QString &subKey, const wchar_t *name);
// A DWORD value of key\subKey.
std::optional<quint32> registryDword(HKEY key, const QString &subKey, const wchar_t *name);
