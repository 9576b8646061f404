#pragma once

#include "tests/support/AppFixture.h"
#include "tests/support/SimDevice.h"

#include <QTemporaryDir>

// The whole program against simulated gateways in virtual time: the windows of AppFixture, serial
// ports that are in-process lines, a settings file with a port choice, and script files.
class Workflow : public AppFixture {
public:
  Workflow();
  ~Workflow() override;

  // Stores "PortNumber" before start().
  void storePort(const QString &choice);
  // Creates the windows, sets the command line and runs the start-up sequence.
  void startUp(const QStringList &parameters = {});
  // A script file with these bytes; its path.
  QString script(const QByteArray &bytes, const QString &name = QStringLiteral("script.qcs"));
  QByteArray pattern(int size) const;
  // Handles events until a WM_WRITE_READY has arrived or the limit has passed.
  bool settle(quint64 limitMs = 60000);

  SimPorts ports;
  QList<quint32> writeReady; // result codes of WM_WRITE_READY, in order of arrival

private:
  QTemporaryDir m_scripts;
  QObject *m_spy = nullptr;
};
