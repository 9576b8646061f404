#pragma once

// Writing the system's record under HKEY_LOCAL_MACHINE, as a driver's installation would, for tests
// of what the programs read from it.
#include <QByteArray>
#include <QString>

#include <string>

#include <windows.h>

// Sets a value below HKEY_LOCAL_MACHINE, making the key where needed.
inline bool setMachineValue(const QString &key, const QString &name, DWORD type, const QByteArray &data) {
  const std::wstring k = key.toStdWString();
  const std::wstring value = name.toStdWString();
  return RegSetKeyValueW(HKEY_LOCAL_MACHINE, k.c_str(), value.c_str(), type, data.constData(),
                         DWORD(data.size())) == ERROR_SUCCESS;
}

// A REG_SZ value's bytes: UTF-16 with its terminating zero.
inline QByteArray wide(const QString &text) {
  const std::wstring w = text.toStdWString();
  return QByteArray(reinterpret_cast<const char *>(w.c_str()), qsizetype((w.size() + 1) * sizeof(wchar_t)));
}
