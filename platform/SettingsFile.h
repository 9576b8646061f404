#pragma once

#include "platform/RegValue.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The settings that Windows keeps under HKEY_CURRENT_USER, kept in a file in the text format of
// a registry export. Key paths are below HKEY_CURRENT_USER ("\SOFTWARE\Quarnel\Tamberlin";
// leading and doubled backslashes do not matter) and, like value names, ignore case.
// A deletion line written by hand ("name"=- or [-KEY]) takes away what came before it, as an import
// of the file would.
//
// Every operation reads the file afresh. Every change takes an advisory lock, re-reads the file,
// changes only its own value and replaces the file atomically, so a crash or a second running
// copy never loses or truncates settings. A file that cannot be parsed is never written.
class SettingsFile {
public:
  explicit SettingsFile(const QString &path = defaultPath());

  // ${XDG_CONFIG_HOME:-$HOME/.config}/Quarnel/Tamberlin.reg
  static QString defaultPath();
  QString path() const { return m_path; }

  bool keyExists(const QString &key);
  // Opens the key, creating it (and the file) when missing. False when that is impossible.
  bool createKey(const QString &key);
  // The value, or nothing when it (or its key) does not exist or the file cannot be read.
  std::optional<RegValue> value(const QString &key, const QString &name);
  bool valueExists(const QString &key, const QString &name) { return value(key, name).has_value(); }
  // Writes the value, creating its key when missing. False when the file cannot be changed.
  bool setValue(const QString &key, const QString &name, const RegValue &value);
  bool deleteValue(const QString &key, const QString &name);
  // The names of the subkeys and values of a key, in file order.
  QStringList subKeys(const QString &key);
  QStringList valueNames(const QString &key);

  // Why the last operation failed (file unreadable, not in the format, not writable); empty after
  // a success.
  QString lastError() const { return m_lastError; }

private:
  QString m_path;
  QString m_lastError;
};
