#pragma once

#include "platform/AdapterPorts.h"
#include "platform/UsbMonitor.h"
#include "platform/UserSettings.h"
#include "station/Station.h"

#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QCoreApplication>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <memory>

// The adapters a test says are plugged in.
class FakeAdapters : public AdapterPorts {
public:
  FakeAdapters() { setInstance(this); }
  ~FakeAdapters() override { setInstance(nullptr); }
  QList<AdapterPort> present(QString *) override { return ports; }
  QList<AdapterPort> ports;
};

inline QByteArray pattern(int size, int seed = 5) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i)
    bytes[i] = char((i * 31 + seed) & 0xff);
  return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// A station in virtual time with simulated gateways, adapters and USB events, and settings of
// its own: a file in a temporary folder on Linux, a key of the test program's own in the registry
// on Windows, emptied before and after.
struct StationFixture {
  const QString settingsKey =
      QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\Test_%1").arg(QCoreApplication::applicationName());
  QTemporaryDir dir;
  QByteArray oldConfigHome = qgetenv("XDG_CONFIG_HOME");
  VirtualClock clock;
  SimPorts ports;
  FakeAdapters adapters;
  // Every monitor made: the station's and those of the running writers' port managers.
  QList<QPointer<UsbMonitor>> monitors;
  QString script = dir.filePath(QStringLiteral("s.qcs"));
  QList<PortResult> recorded;
  std::unique_ptr<Station> station;

  StationFixture() {
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    clearSettings();
    UsbMonitor::setFactory([this](QObject *parent) {
      monitors << new UsbMonitor(parent);
      return monitors.last().data();
    });
    writeFile(script, pattern(1500));
    station = newStation();
  }
  ~StationFixture() {
    station.reset();
    clearSettings();
    UsbMonitor::setFactory({});
    if (oldConfigHome.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", oldConfigHome);
  }

  void clearSettings() const {
    UserSettings settings;
    for (const QString &name : settings.valueNames(settingsKey))
      settings.deleteValue(settingsKey, name);
  }
  std::unique_ptr<Station> newStation() {
    auto s = std::make_unique<Station>(settingsKey);
    s->setRecord({{}, [this](const PortResult &r) {
                    recorded << r;
                    return QString();
                  }});
    return s;
  }

  SimGateway &gateway(quint16 com, const QString &fault = {}) {
    KorvaneSim::Config config;
    config.restartMs = 800;
    config.mode = fault == QLatin1String("debug") ? KorvaneSim::Mode::Debug : KorvaneSim::Mode::Config;
    config.faults.silent = fault == QLatin1String("silent");
    if (fault == QLatin1String("skipDot"))
      config.faults.skipDotAfter = {192};
    if (fault == QLatin1String("vanish")) {
      config.faults.vanishAtByte = 700;
      config.faults.vanishForMs = -1; // until the test plugs it in again
    }
    SimGateway &g = ports.gateway(com, config);
    ports.line(com).bytesPerSecond = 960;
    ports.line(com).heldByOther = fault == QLatin1String("held");
    ports.line(com).setPresent(true);
    return g;
  }

  static AdapterPort adapter(quint16 com, const QString &serial,
                             const QString &place = QStringLiteral("1-1")) {
    AdapterPort p;
    p.com = com;
    p.usb.vendorId = QStringLiteral("0403");
    p.usb.productId = QStringLiteral("6001");
    p.usb.serial = serial;
    p.place = place;
    return p;
  }
  static QString eventPath(const QString &serial) {
    return UsbMonitor::interfacePath(QStringLiteral("0403"), QStringLiteral("6001"), serial);
  }
  // An adapter with a gateway behind it comes on port com.
  SimGateway &plug(quint16 com, const QString &serial, const QString &fault = {}) {
    SimGateway &g = gateway(com, fault);
    adapters.ports << adapter(com, serial);
    arrival(serial);
    return g;
  }
  void unplug(const QString &serial) {
    for (qsizetype i = adapters.ports.size() - 1; i >= 0; --i)
      if (adapters.ports.at(i).usb.serial == serial) {
        ports.line(adapters.ports.at(i).com).setPresent(false);
        adapters.ports.removeAt(i);
      }
    // A report may start a write, whose port manager makes a monitor: walk a copy of the list.
    const QList<QPointer<UsbMonitor>> now = monitors;
    for (const QPointer<UsbMonitor> &m : now)
      if (m)
        m->reportRemoval(eventPath(serial));
  }
  void arrival(const QString &serial) {
    const QList<QPointer<UsbMonitor>> now = monitors;
    for (const QPointer<UsbMonitor> &m : now)
      if (m)
        m->reportArrival(eventPath(serial));
  }

  bool anyRunning() const { return !station->runningSlots().isEmpty(); }
  // Lets the writes run to their end (a 1500-byte script takes a few virtual seconds).
  bool runToEnd(quint64 limitMs = 120000) {
    clock.processMessages();
    return clock.runUntil([this] { return !anyRunning(); }, limitMs);
  }
};
