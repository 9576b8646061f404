// The user's settings in the settings file, in the text format of a registry export.
#include "platform/UserSettings.h"

#include "platform/SettingsFile.h"

struct UserSettings::Store {
  SettingsFile file;
};

UserSettings::UserSettings() : d(std::make_unique<Store>()) {}
UserSettings::~UserSettings() = default;

QString UserSettings::location() const {
  return d->file.path();
}

QString UserSettings::lastError() const {
  return d->file.lastError();
}

bool UserSettings::keyExists(const QString &key) {
  return d->file.keyExists(key);
}

bool UserSettings::createKey(const QString &key) {
  return d->file.createKey(key);
}

std::optional<RegValue> UserSettings::value(const QString &key, const QString &name) {
  return d->file.value(key, name);
}

bool UserSettings::setValue(const QString &key, const QString &name, const RegValue &value) {
  return d->file.setValue(key, name, value);
}

bool UserSettings::deleteValue(const QString &key, const QString &name) {
  return d->file.deleteValue(key, name);
}

QStringList UserSettings::subKeys(const QString &key) {
  return d->file.subKeys(key);
}

QStringList UserSettings::valueNames(const QString &key) {
  return d->file.valueNames(key);
}
