// tamberlin-cli write in process, against simulated gateways in virtual time: which ending gives
// which exit code, and several ports at once.
#include "cli/CliOptions.h"
#include "cli/PortSpec.h"
#include "cli/WriteCommand.h"
#include "platform/linux/PortMap.h"
#include "station/ExitCodes.h"

#include "tests/cli/FakeSystem.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
class RecordingEvents : public WriteEvents {
public:
  QList<PortResult> results;
  QStringList messages;
  QStringList phases;
  void started(const QString &, const QString &, qint64) override {}
  void phase(const QString &port, const QString &phase) override { phases << port + ' ' + phase; }
  void progress(const QString &, qint64, qint64) override {}
  void log(const QString &, const QString &) override {}
  void message(const QString &, const QString &text) override { messages << text; }
  void result(const PortResult &r) override { results << r; }
  void summary(const QList<PortResult> &, int) override {}
  const PortResult *of(const QString &port) const {
    for (const PortResult &r : results)
      if (r.port == port)
        return &r;
    return nullptr;
  }
};

PortWriter::Settings writerSettings(const QString &script, quint32 restartWaitMs) {
  PortWriter::Settings settings;
  settings.script = script;
  settings.restartWaitMs = restartWaitMs;
  return settings;
}

QByteArray pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i)
    bytes[i] = char((i * 31 + 5) & 0xff);
  return bytes;
}
} // namespace

class TestCliWrite : public QObject {
  Q_OBJECT
  std::unique_ptr<VirtualClock> clock;
  std::unique_ptr<SimPorts> ports;
  QTemporaryDir dir;
  QString script;

  SimGateway &gateway(quint16 com, const QString &fault) {
    KorvaneSim::Config config;
    config.restartMs = 800;
    config.mode = fault == "debug"         ? KorvaneSim::Mode::Debug
                  : fault == "debugConfig" ? KorvaneSim::Mode::DebugConfig
                                           : KorvaneSim::Mode::Config;
    config.faults.silent = fault.startsWith("silent");
    config.faults.noRestart = fault == "noRestart";
    if (fault == "skipDot")
      config.faults.skipDotAfter = {192};
    if (fault == "vanish")
      config.faults.vanishAtByte = 700;
    SimGateway &g = ports->gateway(com, config);
    ports->line(com).bytesPerSecond = 960;
    ports->line(com).heldByOther = fault == "held";
    return g;
  }

private slots:
  void init() {
    clock = std::make_unique<VirtualClock>();
    ports = std::make_unique<SimPorts>();
    script = dir.filePath(QStringLiteral("s.qcs"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(pattern(1500));
  }
  void cleanup() {
    ports.reset();
    clock.reset();
  }

  void endingsAndTheirCodes_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("restartWait");
    QTest::addColumn<int>("code");
    QTest::newRow("configuration interface") << "" << 10 << ExitCode::Written;
    QTest::newRow("debug interface") << "debug" << 10 << ExitCode::Written;
    QTest::newRow("nothing answers, no restart wait") << "silent" << 0 << ExitCode::NoGateway;
    QTest::newRow("nothing answers after the restart wait") << "silent" << 3 << ExitCode::NoGateway;
    QTest::newRow("debug interface in configuration mode")
        << "debugConfig" << 10 << ExitCode::DebugConfigMode;
    QTest::newRow("no dot at a block point") << "skipDot" << 10 << ExitCode::Transfer;
    QTest::newRow("no restart") << "noRestart" << 10 << ExitCode::Transfer;
    QTest::newRow("port lost in the data") << "vanish" << 10 << ExitCode::Transfer;
    QTest::newRow("port held by another program") << "held" << 10 << ExitCode::Port;
    QTest::newRow("port absent") << "absent" << 10 << ExitCode::Port;
  }
  void endingsAndTheirCodes() {
    QFETCH(QString, fault);
    QFETCH(int, restartWait);
    QFETCH(int, code);
    SimGateway *g = fault == "absent" ? nullptr : &gateway(5, fault);
    if (!g)
      ports->line(5).setPresent(false);
    RecordingEvents events;
    const quint64 start = clock->nowMs();
    QCOMPARE(writeScript({5}, writerSettings(script, quint32(restartWait) * 1000), events), code);
    QCOMPARE(events.results.size(), 1);
    const PortResult &r = events.results.first();
    QCOMPARE(r.ok, code == ExitCode::Written);
    QCOMPARE(r.code, code);
    QVERIFY(!r.message.isEmpty());
    if (code == ExitCode::Written) {
      QVERIFY(g->sim().lastDownload().script == pattern(1500));
      QVERIFY(g->sim().lastDownload().matches());
      QCOMPARE(r.bytes, qint64(1500));
    }
    // Whatever the ending, the interface is named once the search has told it apart.
    const bool told = !fault.startsWith("silent") && fault != "held" && fault != "absent";
    const bool debug = fault == "debug" || fault == "debugConfig";
    QCOMPARE(r.interface, !told   ? QString()
                          : debug ? QStringLiteral("debug")
                                  : QStringLiteral("configuration"));
    // One event per change of phase, however often a step reports itself.
    for (qsizetype i = 1; i < events.phases.size(); ++i)
      QVERIFY2(events.phases.at(i) != events.phases.at(i - 1), qPrintable(events.phases.join(", ")));
    if (code == ExitCode::Written && !debug)
      QCOMPARE(events.phases.count("COM5 restarting"), 1);
    if (fault.startsWith("silent")) {
      QVERIFY(events.messages.first().startsWith(QStringLiteral("Restart KORVANE and confirm.")));
      // 10 s of search, then the restart wait the user chose.
      QVERIFY(clock->nowMs() - start >= 10000 + quint64(restartWait) * 1000);
      QVERIFY(clock->nowMs() - start < 11000 + quint64(restartWait) * 1000);
    }
  }

  // Three gateways at once, one of which drops a dot: the other two are written all the same.
  void threePortsOneFailing() {
    SimGateway &a = gateway(3, "");
    gateway(4, "skipDot");
    SimGateway &c = gateway(6, "debug");
    RecordingEvents events;
    QCOMPARE(writeScript({3, 4, 6}, writerSettings(script, 10000), events), ExitCode::NotAllWritten);
    QCOMPARE(events.results.size(), 3);
    QVERIFY(events.of("COM3")->ok && events.of("COM6")->ok);
    QCOMPARE(events.of("COM4")->code, ExitCode::Transfer);
    QVERIFY(a.sim().lastDownload().script == pattern(1500) && a.sim().lastDownload().matches());
    QVERIFY(c.sim().lastDownload().script == pattern(1500) && c.sim().lastDownload().matches());
    // At the same time: each port searched before any of them programmed.
    QVERIFY(events.phases.indexOf("COM6 searching") < events.phases.indexOf("COM3 programming"));
  }

  // Ports given as COMn, n or a device path; a device the map lacks gets the lowest free number
  // from 3 up, and keeps it.
  void portsFromTheCommandLine() {
    QTemporaryDir roots;
    QDir(roots.path()).mkpath(QStringLiteral("ports"));
    QDir(roots.path()).mkpath(QStringLiteral("dev"));
    PortMap::setRootsOverride(
        PortMap::Roots{roots.filePath("ports"), roots.filePath("dev"), roots.filePath("sys")});
    const QString known = roots.filePath(QStringLiteral("dev/ttyKNOWN"));
    const QString fresh = roots.filePath(QStringLiteral("dev/ttyNEW"));
    for (const QString &device : {known, fresh}) {
      QFile f(device);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    PortMap map;
    QVERIFY(map.publish(3, known));

    PortSpec::Resolved r = PortSpec::resolve({"com7", "12", known, fresh, fresh});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.ports, (QList<quint16>{7, 12, 3, 4}));
    QCOMPARE(PortSpec::resolve({fresh}).ports, QList<quint16>{4});
    QCOMPARE(PortSpec::resolve({"COM0"}).error,
             QStringLiteral(
                 "\"COM0\" is not a port: use COMn, n, usb:<serial>, usb:path:<USB path> or a device path"));
    QVERIFY(
        PortSpec::resolve({roots.filePath("dev/ttyGONE")}).error.endsWith(QStringLiteral("no such device")));
    PortMap::setRootsOverride(std::nullopt);
  }

  // A port named by its USB adapter is the COM port that adapter has now; an adapter that is not
  // there, or two that the name fits, are refused with the reason.
  void portsByAdapter() {
    FakeSystem system;
    QVERIFY(system.usbAdapter("ttyUSB0", "0403", "6001", "A50285BI", "FT232R USB UART"));
    QVERIFY(system.usbAdapter("ttyUSB1", "1a86", "7523", "", "USB Serial"));
    QVERIFY(system.entry(7, system.path("dev/ttyUSB1")));
    PortSpec::Resolved r = PortSpec::resolve({"usb:A50285BI", "usb:path:1-1", "COM3"});
    QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
    QCOMPARE(r.ports, (QList<quint16>{3, 7}));
    // Understood but not usable now: a port error (exit code 4), not a usage error.
    QVERIFY(PortSpec::resolve({"usb:FT000"}).portError);
    QVERIFY(!PortSpec::resolve({"COM0"}).portError);
    QCOMPARE(
        PortSpec::resolve({"usb:FT000"}).error,
        QStringLiteral("no adapter with the identity usb:FT000 is plugged in: 'tamberlin-cli ports' lists "
                       "the adapters with their serial numbers"));
    // The same serial number in a second adapter (its stable name differs only by product name here).
    QVERIFY(system.usbAdapter("ttyUSB2", "0403", "6001", "A50285BI", "FT232R USB UART 2"));
    QCOMPARE(PortSpec::resolve({"usb:A50285BI"}).error,
             QStringLiteral("2 adapters have the identity usb:A50285BI: COM3 (usb:path:1-0) and COM4 "
                            "(usb:path:1-2); name the port, or the adapter by its USB path"));
    QCOMPARE(PortSpec::resolve({"usb:path:1-2"}).ports, QList<quint16>{4});
  }

  void commandLines_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    QTest::newRow("write with ports")
        << QStringList{"write", "--port", "COM3", "--port=/dev/ttyUSB0", "x.qcs"} << "";
    QTest::newRow("no command") << QStringList{} << "no command given";
    QTest::newRow("no script") << QStringList{"write", "--port", "3"} << "write needs the script file";
    QTest::newRow("port without value") << QStringList{"write", "x.qcs", "--port"} << "--port needs a value";
    QTest::newRow("all and port") << QStringList{"write", "--all", "--port", "3", "x"}
                                  << "--all and --port exclude each other";
    QTest::newRow("bad restart wait") << QStringList{"write", "--restart-wait", "soon", "x"}
                                      << "--restart-wait takes seconds from 0 to 3600, not \"soon\"";
    QTest::newRow("write option elsewhere")
        << QStringList{"ports", "--all"} << "--all belongs to the write command";
    QTest::newRow("two scripts") << QStringList{"write", "a", "b"} << "unexpected \"b\"";
    QTest::newRow("unknown command") << QStringList{"erase"} << "unknown command \"erase\"";
  }
  void commandLines() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const CliOptions options = parseCliOptions(arguments);
    QCOMPARE(options.error, error);
    if (error.isEmpty())
      QCOMPARE(options.ports, (QStringList{"COM3", "/dev/ttyUSB0"}));
  }
};

QTEST_GUILESS_MAIN(TestCliWrite)
#include "test_cliwrite.moc"
