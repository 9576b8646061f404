#pragma once

#include <QDialog>

// The settings dialog and the store of the settings that its pages carry.
class TOptions : public QDialog {
  Q_OBJECT
public:
  explicit TOptions(QWidget *parent = nullptr);

  // Loads the registered pages' settings from the settings file.
  void Read();
  // Writes the registered pages' settings to the settings file.
  void Store();
};
