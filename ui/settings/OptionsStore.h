#pragma once

#include <QList>
#include <QString>

#include <functional>

class QComboBox;
class QWidget;
class UserSettings;

// The walk behind the settings dialog: every combo box that is a direct child of a settings sheet
// is one setting, named like the combo box, kept as a string value in the sheet's key
// (key base + "\" + the sheet's name). Problems are shown to the user, never raised.
class OptionsStore {
public:
  using Translate = std::function<QString(const QString &)>;

  OptionsStore(UserSettings &reg, QString keyBase, Translate translate, QWidget *messageParent);

  // Settings file into the combo boxes. A sheet whose key cannot be opened or created keeps its
  // controls as they are; a value of another type than a string ends the walk.
  void read(const QList<QWidget *> &sheets);
  // Combo boxes into the settings file. A sheet whose key cannot be opened or created is not
  // written; a failed write ends the walk.
  void store(const QList<QWidget *> &sheets);

  // The first direct child of a sheet, in sheet and child order, whose name equals key with the
  // letters a to z taken as upper case; nullptr when there is none.
  static QWidget *findControl(const QList<QWidget *> &sheets, const QString &key);
  // The text of a combo box (its edit text); empty for any other control.
  static QString getControlValue(const QWidget *control);

private:
  QString sheetKey(const QWidget *sheet) const;
  static QList<QComboBox *> settingsOf(const QWidget *sheet);
  void showMessage(const QString &key);

  UserSettings &m_reg;
  QString m_keyBase;
  Translate m_translate;
  QWidget *m_messageParent;
};
