#include "platform/RegValue.h"

RegValue RegValue::fromString(const QString &text) {
  RegValue v;
  v.type = Type::String;
  v.rawType = 1;
  v.string = text;
  return v;
}

RegValue RegValue::fromDword(quint32 value) {
  RegValue v;
  v.type = Type::Dword;
  v.rawType = 4;
  v.dword = value;
  return v;
}

RegValue RegValue::fromBinary(const QByteArray &bytes) {
  RegValue v;
  v.type = Type::Binary;
  v.rawType = 3;
  v.data = bytes;
  return v;
}

bool RegValue::operator==(const RegValue &o) const {
  if (type != o.type || rawType != o.rawType)
    return false;
  switch (type) {
  case Type::String:
    return string == o.string;
  case Type::Dword:
    return dword == o.dword;
  case Type::Binary:
  case Type::Other:
    return data == o.data;
  }
  return false;
}
