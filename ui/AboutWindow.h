#pragma once

#include "ui/VersionStrings.h"

#include <QString>
#include <QWidget>

class LanguageSelect;
class QPushButton;
class QTabWidget;
class QTextEdit;

// The about window: product line and version values, the about text, and the read-me and licence
// documents that lie beside the program. Its contents are rebuilt at every activation. A document
// that is missing takes its tab out for the rest of the run.
//
// Preparation by the main window: language, icon, setContentFile("help.readme"),
// setEulaText("help.eula"), PageControlVersionInfo->setCurrentIndex(1).
class THelpAbout : public QWidget {
  Q_OBJECT
public:
  explicit THelpAbout(QWidget *parent = nullptr);

  // Language key whose translation names the read-me file.
  void setContentFile(const QString &key) { filenameIdentifier = key; }
  // Language key whose translation names the licence file (the key itself when it has no text).
  void setEulaText(const QString &key) { fileEulaIdentifier = key; }

  // Takes the tab out of the page control; the first remaining tab becomes the active one.
  void UnRegisterSheet(QWidget *sheet);

  // Rebuilds the contents; runs at every activation of the window.
  void FormActivate();
  // Shows the change log "lastCommits.ini" from beside the program; nothing when it is missing.
  void Memo1DblClick();
  // Closes (hides) the window.
  void BitBtn1Click();

  // The folder that holds the documents; the program's folder unless a test says otherwise.
  void setProgramDir(const QString &dir) { m_programDir = dir; }

  LanguageSelect *language = nullptr; // not owned

  QTabWidget *PageControlVersionInfo = nullptr;
  QWidget *TabSheetVersionInfo = nullptr;
  QWidget *TabSheetReadMe = nullptr;
  QWidget *TabSheetEulatext = nullptr;
  QTextEdit *Memo1 = nullptr;
  QTextEdit *Memo2 = nullptr;
  QTextEdit *fileLines = nullptr;
  QTextEdit *eulaLines = nullptr;
  QWidget *Panel1 = nullptr;
  QPushButton *BitBtn1 = nullptr;

protected:
  void changeEvent(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  QString translated(const QString &key) const;
  QString programDir() const;
  void setTabCaption(QWidget *sheet, const QString &caption);
  // Loads the file into the box; false when it is not a readable file.
  static bool loadDocument(const QString &path, QTextEdit *box);

  QString filenameIdentifier;
  QString fileEulaIdentifier;
  QString m_programDir;
};
