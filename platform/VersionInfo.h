#pragma once

#include <QHash>
#include <QString>

#include <optional>

// The string table of the program file's version data ("ProductName", "ProductVersion",
// "LegalCopyright", "LegalTrademarks", ...).
struct VersionData {
  QHash<QString, QString> strings;
};

// Where the program's version data comes from: compiled in here, the version resource of the
// program file on Windows.
class VersionInfo {
public:
  virtual ~VersionInfo() = default;

  // The program's version data; nothing when the program carries none.
  virtual std::optional<VersionData> read() const = 0;

  static VersionInfo &instance();
  // Installs a source for the whole process (tests); nullptr restores the compiled-in data.
  static void setInstance(VersionInfo *info);
};

// The values compiled into the program from the build settings.
class CompiledVersionInfo : public VersionInfo {
public:
  std::optional<VersionData> read() const override;
};

// Given data, or none at all. Installs itself for its lifetime.
class FixedVersionInfo : public VersionInfo {
public:
  explicit FixedVersionInfo(std::optional<VersionData> data);
  ~FixedVersionInfo() override;
  std::optional<VersionData> read() const override { return m_data; }

private:
  std::optional<VersionData> m_data;
};
