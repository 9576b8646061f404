#pragma once

#include "platform/RegValue.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The settings that the program keeps under HKEY_CURRENT_USER. On Windows they are the registry
// itself; on Linux they live in the settings file, in the text format of a registry export. Key
// paths are below HKEY_CURRENT_USER ("\SOFTWARE\Quarnel\Tamberlin"; leading and doubled
// backslashes do not matter) and, like value names, ignore case. No operation raises: a failure
// returns false or nothing and leaves its reason in lastError().
class UserSettings {
public:
  UserSettings();
  ~UserSettings();
  UserSettings(const UserSettings &) = delete;
  UserSettings &operator=(const UserSettings &) = delete;

  // Where the settings are, in words a user can follow (a file path, or the registry's key).
  QString location() const;

  bool keyExists(const QString &key);
  // Opens the key, creating it when missing. False when that is impossible.
  bool createKey(const QString &key);
  // The value, or nothing when it (or its key) does not exist or cannot be read.
  std::optional<RegValue> value(const QString &key, const QString &name);
  bool setValue(const QString &key, const QString &name, const RegValue &value);
  bool deleteValue(const QString &key, const QString &name);
  QStringList subKeys(const QString &key);
  QStringList valueNames(const QString &key);

  // Why the last operation failed; empty after a success.
  QString lastError() const;

private:
  struct Store;
  std::unique_ptr<Store> d;
};
