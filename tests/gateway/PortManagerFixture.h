#pragma once

#include "gateway/PortManager.h"
#include "platform/Log.h"

#include "tests/support/LocalChannels.h"
#include "tests/support/MessageSpy.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QStringList>

#include <memory>

using States = QList<QPair<quint32, qint32>>;

// Port managers without windows, in virtual time, on in-process serial lines, with other copies
// on a bus inside the test process and USB events only as the test reports them.
struct PortManagerFixture {
  VirtualClock clock;
  SimPorts ports;
  TestInstanceBus bus;
  TestUsbEvents usb;
  QStringList log;
  int sink = Log::addSink([this](const QString &text, Log::Kind) { log << text; });

  ~PortManagerFixture() { Log::removeSink(sink); }

  // A manager whose owner is spy.
  std::unique_ptr<PortManager> manager(MessageSpy &owner) {
    auto m = std::make_unique<PortManager>();
    m->callerHandle = handleOf(&owner);
    return m;
  }
};
