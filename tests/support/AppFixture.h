#pragma once

#include "tests/support/LocalChannels.h"
#include "tests/support/RecordingProcess.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/VirtualClock.h"

#include <QTemporaryDir>

#include <memory>

// The program's windows in a sandbox: a fresh settings folder (XDG_CONFIG_HOME) and data folder
// (XDG_DATA_HOME, where the record of every write lies), virtual time,
// scripted dialogs, a recorded exit, and USB events and other running copies only as the test makes
// them. Windows are created by start() and destroyed with the fixture.
class AppFixture {
public:
  AppFixture();
  virtual ~AppFixture();

  // Creates the windows in their order.
  void start();
  QString settingsPath() const;
  QString configHome() const { return m_config.path(); }
  QString dataHome() const { return m_config.filePath(QStringLiteral("data")); }
  // Writes the settings file before start().
  void writeSettings(const QByteArray &content);
  QByteArray readSettings() const;

  VirtualClock clock;
  ScriptedDialogs dialogs;
  RecordingProcess process;
  // Neither the machine's USB devices nor other running copies reach the program under test.
  TestUsbEvents usb;
  TestInstanceBus bus;

private:
  QTemporaryDir m_config;
  QByteArray m_oldConfigHome;
  QByteArray m_oldDataHome;
  bool m_started = false;
};
