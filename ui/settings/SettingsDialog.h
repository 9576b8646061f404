#pragma once

#include "platform/UserSettings.h"

#include <QDialog>
#include <QList>
#include <QString>

class LanguageSelect;
class QPushButton;
class QTabWidget;

// The settings dialog: a page control into which other windows move their settings sheets, with
// OK and Cancel beside it, and the store that keeps the sheets' combo boxes in the settings file
// under RegPath + FieldBusName + "\" + the sheet's name.
//
// Modal results are 1 (OK) and 2 (Cancel). Esc closes with Cancel from any control, OK stores,
// Cancel writes nothing and leaves the user's edits in the controls.
class TOptions : public QDialog {
  Q_OBJECT
public:
  enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2 };

  explicit TOptions(QWidget *parent = nullptr);

  // Loads every registered sheet's settings from the settings file.
  void Read();
  // Writes every registered sheet's settings to the settings file.
  void Store();
  // The text of the setting named Key (letters a to z in any case), as the control shows it now.
  QString GetProp(const QString &Key) const;
  QString StringProp(const QString &Key) const { return GetProp(Key); }

  // Shows another window's sheet as a page of the dialog and makes it the active page. The sheet
  // keeps its name (its key) and stays its maker's: the maker keeps using its controls.
  void RegisterSheet(QWidget *NewPage, const QString &newName);

  // Read, then the dialog runs modally; true when it closed with OK.
  bool execute();
  // execute, then the modal result (1 OK, 2 Cancel).
  int ShowModal();

  QString FieldBusName() const { return FFieldBusName; }
  void setFieldBusName(const QString &name) { FFieldBusName = name; }

  // Captions of the dialog and its buttons, as on every show and every activation.
  void FormShow();
  void FormActivate();

  LanguageSelect *language = nullptr; // not owned

  QTabWidget *OptionPages = nullptr;
  QWidget *Panel1 = nullptr;
  QPushButton *OKBtn = nullptr;
  QPushButton *CancelBtn = nullptr;

  const QString RegPath = QStringLiteral("\\SOFTWARE\\Quarnel\\");

public slots:
  void reject() override;

protected:
  void showEvent(QShowEvent *event) override;
  void hideEvent(QHideEvent *event) override;
  void changeEvent(QEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void OKBtnClick();
  QString translated(const QString &key) const;
  QList<QWidget *> sheets() const;

  QString FFieldBusName;
  UserSettings Reg;
};
