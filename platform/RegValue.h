#pragma once

#include <QByteArray>
#include <QString>

// A registry value: its type and its data, as the registry and a registry export keep it.
struct RegValue {
  enum class Type {
    String, // REG_SZ, "name"="text"
    Dword,  // REG_DWORD, dword:0000002a
    Binary, // REG_BINARY, hex:01,02
    Other   // any other type, hex(n):..., kept as raw bytes so it survives a rewrite
  };
  Type type = Type::String;
  QString string;
  quint32 dword = 0;
  QByteArray data;     // Binary and Other
  quint32 rawType = 1; // the registry type number (REG_SZ 1, REG_BINARY 3, REG_DWORD 4, ...)

  static RegValue fromString(const QString &text);
  static RegValue fromDword(quint32 value);
  static RegValue fromBinary(const QByteArray &bytes);
  bool operator==(const RegValue &other) const;
};
