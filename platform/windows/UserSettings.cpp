// The user's settings in the registry, below HKEY_CURRENT_USER.
#include "platform/UserSettings.h"

#include "platform/windows/WindowsError.h"

#include <windows.h>

#include <vector>

namespace {
const QString kRoot = QStringLiteral("HKEY_CURRENT_USER");

std::wstring keyPath(const QString &key) {
  return key.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\')).toStdWString();
}

std::wstring wide(const QString &text) {
  return text.toStdWString();
}

// A value as the registry holds it, in the program's terms. A DWORD of the wrong size is no DWORD:
// it keeps its type number and bytes, so a reader that wants a DWORD sees the wrong type.
RegValue fromRegistry(DWORD type, const QByteArray &data) {
  RegValue v;
  v.rawType = type;
  if (type == REG_SZ) {
    QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()), data.size() / 2);
    if (const qsizetype end = text.indexOf(QChar(0)); end >= 0)
      text.truncate(end);
    return RegValue::fromString(text);
  }
  if (type == REG_DWORD && data.size() == 4) {
    quint32 dword = 0;
    memcpy(&dword, data.constData(), 4);
    return RegValue::fromDword(dword);
  }
  if (type == REG_BINARY)
    return RegValue::fromBinary(data);
  v.type = RegValue::Type::Other;
  v.data = data;
  return v;
}

QByteArray toRegistry(const RegValue &v, DWORD &type) {
  switch (v.type) {
  case RegValue::Type::String: {
    type = REG_SZ;
    const std::u16string text = v.string.toStdU16String();
    return QByteArray(reinterpret_cast<const char *>(text.c_str()), qsizetype((text.size() + 1) * 2));
  }
  case RegValue::Type::Dword:
    type = REG_DWORD;
    return QByteArray(reinterpret_cast<const char *>(&v.dword), 4);
  case RegValue::Type::Binary:
    type = REG_BINARY;
    return v.data;
  case RegValue::Type::Other:
    break;
  }
  type = v.rawType;
  return v.data;
}

// An open key that closes itself.
class Key {
public:
  ~Key() {
    if (m_key)
      RegCloseKey(m_key);
  }
  LSTATUS open(const QString &path, bool create, REGSAM access) {
    const std::wstring p = keyPath(path);
    if (create)
      return RegCreateKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, 0, access, nullptr, &m_key, nullptr);
    return RegOpenKeyExW(HKEY_CURRENT_USER, p.c_str(), 0, access, &m_key);
  }
  HKEY get() const { return m_key; }

private:
  HKEY m_key = nullptr;
};
} // namespace

struct UserSettings::Store {
  QString lastError;

  bool failed(const QString &key, const QString &what, LSTATUS status) {
    lastError = QStringLiteral("%1\\%2: %3: %4")
                    .arg(kRoot, QString::fromStdWString(keyPath(key)), what, windowsErrorText(DWORD(status)));
    return false;
  }
};

UserSettings::UserSettings() : d(std::make_unique<Store>()) {}
UserSettings::~UserSettings() = default;

QString UserSettings::location() const {
  return kRoot + QStringLiteral(" in the registry");
}

QString UserSettings::lastError() const {
  return d->lastError;
}

bool UserSettings::keyExists(const QString &key) {
  d->lastError.clear();
  Key k;
  return k.open(key, false, KEY_READ) == ERROR_SUCCESS;
}

bool UserSettings::createKey(const QString &key) {
  d->lastError.clear();
  Key k;
  const LSTATUS status = k.open(key, true, KEY_READ | KEY_WRITE);
  return status == ERROR_SUCCESS || d->failed(key, QStringLiteral("cannot create the key"), status);
}

std::optional<RegValue> UserSettings::value(const QString &key, const QString &name) {
  d->lastError.clear();
  Key k;
  if (k.open(key, false, KEY_READ) != ERROR_SUCCESS)
    return std::nullopt;
  const std::wstring n = wide(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(k.get(), n.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  QByteArray data(qsizetype(size), '\0');
  LSTATUS status =
      RegQueryValueExW(k.get(), n.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(data.data()), &size);
  if (status != ERROR_SUCCESS) {
    d->failed(key, QStringLiteral("cannot read \"%1\"").arg(name), status);
    return std::nullopt;
  }
  data.truncate(qsizetype(size));
  return fromRegistry(type, data);
}

bool UserSettings::setValue(const QString &key, const QString &name, const RegValue &value) {
  d->lastError.clear();
  Key k;
  LSTATUS status = k.open(key, true, KEY_WRITE);
  if (status != ERROR_SUCCESS)
    return d->failed(key, QStringLiteral("cannot create the key"), status);
  DWORD type = 0;
  const QByteArray data = toRegistry(value, type);
  const std::wstring n = wide(name);
  status = RegSetValueExW(k.get(), n.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.constData()),
                          DWORD(data.size()));
  return status == ERROR_SUCCESS || d->failed(key, QStringLiteral("cannot write \"%1\"").arg(name), status);
}

bool UserSettings::deleteValue(const QString &key, const QString &name) {
  d->lastError.clear();
  Key k;
  if (k.open(key, false, KEY_WRITE) != ERROR_SUCCESS)
    return true;
  const std::wstring n = wide(name);
  const LSTATUS status = RegDeleteValueW(k.get(), n.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ||
         d->failed(key, QStringLiteral("cannot delete \"%1\"").arg(name), status);
}

QStringList UserSettings::subKeys(const QString &key) {
  d->lastError.clear();
  QStringList names;
  Key k;
  if (k.open(key, false, KEY_READ) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> name(256);
  for (DWORD i = 0;; ++i) {
    DWORD length = DWORD(name.size());
    if (RegEnumKeyExW(k.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names << QString::fromWCharArray(name.data(), int(length));
  }
  return names;
}

QStringList UserSettings::valueNames(const QString &key) {
  d->lastError.clear();
  QStringList names;
  Key k;
  if (k.open(key, false, KEY_READ) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD length = DWORD(name.size());
    if (RegEnumValueW(k.get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names << QString::fromWCharArray(name.data(), int(length));
  }
  return names;
}
