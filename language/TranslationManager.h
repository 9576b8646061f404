#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QWidget;

// The translation manager: loads the language file beside the program (or in the install tree)
// and turns keys into texts. A key the file does not define translates to itself, so the program
// works without it.
class LanguageSelect {
public:
  explicit LanguageSelect(const QString &cregistryKey = QStringLiteral("HKEY_CURRENT_USER"),
                          const QString &cregistryPath = QString());

  // Loads "lang/english_en_gb.ini"; true when it has a "translations" section with at least one
  // line. A missing or unreadable file leaves every key untranslated (see lastError()).
  bool readDefaultLang();
  // Only the default language exists: always false, nothing changes.
  bool readFile(const QString &lang);

  // The key's text (keys compare without regard to case, the first occurrence counts), or the
  // key itself; "#13#10" becomes CR LF.
  QString translate(const QString &key) const;
  // The texts of all keys that begin with startKey (case-sensitive), in file order, joined.
  QString translateBlock(const QString &startKey) const;

  // Translates, by component name, the captions of component and of everything it owns:
  // windows, tab sheets and labels only, and only captions that are not empty.
  void initCaptions(QWidget *component, const QString &lang);

  QString defaultLangStr;

  // The program's folder unless a test says otherwise; "lang" lies in it or, installed, in
  // ../share/tamberlin/ from it.
  void setProgramDir(const QString &dir) { m_programDir = dir; }
  QString languageFilePath() const;
  // Why the last readDefaultLang found no usable file; empty when it did or the file is absent.
  QString lastError() const { return m_lastError; }

  QString registryKey;
  QString registryPath;

private:
  static QString decodeLineBreaks(const QString &text);
  static void setCaption(QWidget *component, const QString &text);

  QStringList defaultKeys;
  QStringList defaultLang;
  QHash<QString, qsizetype> m_firstIndex; // case-folded key -> first position in defaultKeys
  QString m_programDir;
  QString m_lastError;
};
