// tamberlin-cli doctor: each finding with its fix from given facts, and the facts gathered from a
// fake machine.
#include "cli/linux/DoctorChecks.h"
#include "cli/linux/DoctorFacts.h"
#include "cli/linux/PortsReport.h"

#include "tests/cli/FakeSystem.h"

#include <QTest>

#include <cerrno>
#include <functional>

using Setup = std::function<void(DoctorFacts &)>;
Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(DeviceAccess)

namespace {
PortFacts presentPort(quint16 n, const QString &device) {
  PortFacts port;
  port.number = n;
  port.state = PortMap::State::Present;
  port.entry = QStringLiteral("/home/tech/.config/Quarnel/ports/com%1").arg(n);
  port.target = device;
  port.device = device;
  port.lockName = device.mid(5).replace('/', '_');
  return port;
}

PortFacts danglingPort(quint16 n, const QString &target, bool automatic) {
  PortFacts port;
  port.number = n;
  port.state = PortMap::State::Dangling;
  port.entry = QStringLiteral("/home/tech/.config/Quarnel/ports/com%1").arg(n);
  port.target = target;
  port.automatic = automatic;
  return port;
}

// One present port that this user may open: nothing to fix.
DoctorFacts healthy() {
  DoctorFacts facts;
  facts.portFolder = QStringLiteral("/home/tech/.config/Quarnel/ports");
  facts.ports << presentPort(3, QStringLiteral("/dev/ttyUSB0"));
  facts.access.insert(3, DeviceAccess{0, QStringLiteral("dialout"), QStringLiteral("tech"), true, true});
  return facts;
}

DeviceAccess refused(const char *group, bool listed) {
  return DeviceAccess{EACCES, QString::fromLatin1(group), QStringLiteral("tech"), false, listed};
}

UsbIdentity ftdiAdapter() {
  return {QStringLiteral("0403"), QStringLiteral("6001"), QStringLiteral("A10K"),
          QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI")};
}
} // namespace

class TestDoctor : public QObject {
  Q_OBJECT

private slots:
  void findingAndFix_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("fix");

    QTest::newRow("not in the device's group")
        << Setup([](DoctorFacts &f) { f.access[3] = refused("dialout", false); }) << "error"
        << "COM3"
        << "tech may not open it for reading and writing (group dialout)"
        << "sudo usermod -aG dialout $USER, then log out and in again";
    QTest::newRow("in the group since this login")
        << Setup([](DoctorFacts &f) { f.access[3] = refused("uucp", true); }) << "error"
        << "COM3"
        << "(group uucp)"
        << "tech is in group uucp already, but this login started before";
    QTest::newRow("node of root alone")
        << Setup([](DoctorFacts &f) { f.access[3] = refused("root", false); }) << "error"
        << "COM3"
        << "(group root)"
        << "GROUP=\"dialout\"";
    QTest::newRow("held by a program") << Setup([](DoctorFacts &f) {
      f.ports[0].holders = {{4242, "minicom"}};
    }) << "warning"
                                       << "COM3"
                                       << "COM3 is held by 4242 minicom"
                                       << "close that program (kill 4242)";
    QTest::newRow("unplugged adapter with its number")
        << Setup([](DoctorFacts &f) {
             f.ports << danglingPort(4, "/dev/serial/by-id/usb-FTDI_A10K-if00", true);
           })
        << "warning"
        << "COM4"
        << "COM4 leads to /dev/serial/by-id/usb-FTDI_A10K-if00, which does not exist"
        << "plug it in (it keeps COM4); to free the number instead: rm /home/tech/.config/Quarnel/ports/com4";
    QTest::newRow("a user's entry that leads nowhere")
        << Setup([](DoctorFacts &f) { f.ports << danglingPort(8, "/dev/ttyUSB7", false); }) << "warning"
        << "COM8"
        << "COM8 leads to /dev/ttyUSB7"
        << "remove the entry: rm /home/tech/.config/Quarnel/ports/com8";
    QTest::newRow("stale lock of the port")
        << Setup([](DoctorFacts &f) {
             f.staleLocks << SerialLocks::Lock{"/run/lock/LCK..ttyUSB0", "ttyUSB0", 777, true};
           })
        << "error"
        << "COM3"
        << "lock file /run/lock/LCK..ttyUSB0 names process 777, which has ended"
        << "remove it: rm /run/lock/LCK..ttyUSB0";
    QTest::newRow("stale lock of another user") << Setup([](DoctorFacts &f) {
      f.staleLocks << SerialLocks::Lock{"/var/lock/LCK..ttyS0", "ttyS0", 778, false};
    }) << "error"
                                                << ""
                                                << "LCK..ttyS0 names process 778"
                                                << "remove it: sudo rm /var/lock/LCK..ttyS0";
    QTest::newRow("ModemManager") << Setup([](DoctorFacts &f) {
      f.grabbers << ProcessList::Process{612, "ModemManager"};
    }) << "warning"
                                  << ""
                                  << "ModemManager (process 612) is running"
                                  << "sudo systemctl disable ModemManager";
    QTest::newRow("brltty") << Setup([](DoctorFacts &f) {
      f.grabbers << ProcessList::Process{613, "brltty"};
    }) << "warning"
                            << ""
                            << "brltty (process 613) is running"
                            << "sudo apt remove brltty";
    QTest::newRow("empty port map") << Setup([](DoctorFacts &f) {
      f.ports.clear();
      f.access.clear();
    }) << "warning"
                                    << ""
                                    << "the port map /home/tech/.config/Quarnel/ports has no entries"
                                    << "ln -s /dev/ttyUSB0 /home/tech/.config/Quarnel/ports/com3";
  }
  // Each problem is found once, says what is wrong and how to fix it; nothing else needs fixing.
  void findingAndFix() {
    QFETCH(Setup, setup);
    DoctorFacts facts = healthy();
    setup(facts);

    const QList<DoctorFinding> findings = diagnose(facts);
    QList<DoctorFinding> toFix;
    for (const DoctorFinding &f : findings)
      if (f.needsFixing())
        toFix << f;
    QCOMPARE(toFix.size(), 1);
    QTEST(severityName(toFix[0].severity), "severity");
    QTEST(toFix[0].port, "port");
    QFETCH(QString, what);
    QVERIFY2(toFix[0].what.contains(what), qPrintable(toFix[0].what));
    QFETCH(QString, fix);
    QVERIFY2(toFix[0].fix.contains(fix), qPrintable(toFix[0].fix));
    QCOMPARE(doctorExitCode(findings), 1);

    const QJsonObject event = findingEvent(toFix[0]);
    QCOMPARE(event["event"].toString(), QStringLiteral("finding"));
    QCOMPARE(event["severity"].toString(), severityName(toFix[0].severity));
    QCOMPARE(event["fix"].toString(), toFix[0].fix);
  }

  void healthyPortNeedsNothing() {
    const QList<DoctorFinding> findings = diagnose(healthy());
    QCOMPARE(findings.size(), 1);
    QCOMPARE(findings[0].severity, DoctorFinding::Severity::Ok);
    QCOMPARE(findings[0].port, QStringLiteral("COM3"));
    QVERIFY(findings[0].fix.isEmpty());
    QVERIFY(findingEvent(findings[0])["fix"].isNull());
    QCOMPARE(doctorExitCode(findings), 0);
  }

  // Over ssh there is no session bus: a note of what that turns off and how to have it, including
  // the package that a system without recommended packages lacks; nothing to fix.
  void noSessionBusIsANote() {
    DoctorFacts facts = healthy();
    facts.busProblem = QStringLiteral("Not connected to D-Bus server");
    const QList<DoctorFinding> findings = diagnose(facts);
    QCOMPARE(findings.size(), 2);
    const DoctorFinding &note = findings[1];
    QCOMPARE(severityName(note.severity), QStringLiteral("note"));
    QVERIFY(!note.needsFixing());
    QVERIFY2(note.what.startsWith("no D-Bus session bus (Not connected to D-Bus server)"),
             qPrintable(note.what));
    QVERIFY2(note.what.contains("coordination between copies is off"), qPrintable(note.what));
    QVERIFY2(note.fix.contains("dbus-run-session -- tamberlin-cli"), qPrintable(note.fix));
    QVERIFY2(note.fix.contains("package dbus-daemon"), qPrintable(note.fix));
    QCOMPARE(findingEvent(note)["severity"].toString(), QStringLiteral("note"));
    QCOMPARE(doctorExitCode(findings), 0);
  }

  // A new machine: serial devices, but the port map has no entries because none of them is known
  // to be a port (a container without sysfs tells nothing of its UARTs). The doctor names the
  // devices, how to give one a COM number, and whether this user may open them.
  void devicesWithoutPortMap_data() {
    QTest::addColumn<int>("uarts"); // ttyS0.. of unknown hardware
    QTest::addColumn<DeviceAccess>("access");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("severity"); // of the access finding
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("fix");
    QTest::newRow("not in dialout")
        << 2 << refused("dialout", false) << "<dev>/ttyS0, <dev>/ttyS1"
        << "error"
        << "tech may not open <dev>/ttyS0, <dev>/ttyS1 for reading and writing (group dialout)"
        << "sudo usermod -aG dialout $USER, then log out and in again";
    QTest::newRow("in dialout since this login")
        << 1 << refused("dialout", true) << "<dev>/ttyS0"
        << "error"
        << "tech may not open <dev>/ttyS0 for reading and writing (group dialout)"
        << "tech is in group dialout already, but this login started before";
    QTest::newRow("may open them") << 1
                                   << DeviceAccess{0, QStringLiteral("dialout"), QStringLiteral("tech"), true,
                                                   true}
                                   << "<dev>/ttyS0"
                                   << "ok"
                                   << "tech may open <dev>/ttyS0"
                                   << "";
    QTest::newRow("a virtual machine's 32 UARTs")
        << 32 << refused("dialout", false) << "<dev>/ttyS0, <dev>/ttyS1, <dev>/ttyS2, <dev>/ttyS3 and 28 more"
        << "error"
        << "tech may not open <dev>/ttyS0, <dev>/ttyS1, <dev>/ttyS2, <dev>/ttyS3 and 28 more for reading"
        << "sudo usermod -aG dialout";
  }
  void devicesWithoutPortMap() {
    QFETCH(int, uarts);
    QFETCH(DeviceAccess, access);
    FakeSystem sys;
    for (int i = 0; i < uarts; ++i) {
      QVERIFY(sys.write(QStringLiteral("dev/ttyS%1").arg(i)));
      sys.access.byNode.insert(sys.path(QStringLiteral("dev/ttyS%1").arg(i)), access);
    }
    // A UART that sysfs knows to have no port behind it is no device of the machine.
    QVERIFY(sys.write(QStringLiteral("dev/ttyS%1").arg(uarts)));
    QVERIFY(sys.write(QStringLiteral("sys/class/tty/ttyS%1/type").arg(uarts), "0\n"));
    PortMap map;
    QVERIFY(map.refresh().added.isEmpty());

    DoctorFacts facts = gatherDoctorFacts(map);
    facts.busProblem.clear(); // the session bus of the machine running the test is not faked
    const QList<DoctorFinding> findings = diagnose(facts);
    const QString dev = sys.path(QStringLiteral("dev"));
    const QString folder = sys.path(QStringLiteral("config/Quarnel/ports"));
    QCOMPARE(findings.size(), 2);

    const DoctorFinding &noEntries = findings[0];
    QCOMPARE(noEntries.severity, DoctorFinding::Severity::Warning);
    QFETCH(QString, listed);
    QCOMPARE(noEntries.what,
             QStringLiteral("the port map %1 has no entries: no COM number leads to the serial "
                            "devices of this machine (%2)")
                 .arg(folder, listed.replace(QStringLiteral("<dev>"), dev)));
    QCOMPARE(noEntries.fix,
             QStringLiteral("give the gateway's device a number: mkdir -p %1 && ln -s %2/ttyS0 "
                            "%1/com1, then use COM1 (tamberlin /P1, tamberlin-cli write --port COM1)")
                 .arg(folder, dev));

    const DoctorFinding &device = findings[1];
    QTEST(severityName(device.severity), "severity");
    QVERIFY(device.port.isEmpty());
    QFETCH(QString, what);
    QVERIFY2(device.what.startsWith(what.replace(QStringLiteral("<dev>"), dev)), qPrintable(device.what));
    QFETCH(QString, fix);
    QCOMPARE(device.fix.isEmpty(), fix.isEmpty());
    QVERIFY2(device.fix.contains(fix), qPrintable(device.fix));
    QCOMPARE(doctorExitCode(findings), 1);
  }

  // An adapter is the likelier gateway: the example gives it its usual number, COM3.
  void adapterIsTheExampleOfAnUnmappedMachine() {
    DoctorFacts facts = healthy();
    facts.ports.clear();
    facts.access.clear();
    const DeviceAccess may{0, QStringLiteral("dialout"), QStringLiteral("tech"), true, true};
    facts.devices = {{"/dev/ttyS0", may}, {"/dev/ttyACM0", may}, {"/dev/ttyUSB1", may}};
    const QList<DoctorFinding> findings = diagnose(facts);
    QCOMPARE(findings.size(), 2);
    QVERIFY2(
        findings[0].fix.contains("ln -s /dev/ttyACM0 /home/tech/.config/Quarnel/ports/com3, then use COM3"),
        qPrintable(findings[0].fix));
    QCOMPARE(findings[1].what, QStringLiteral("tech may open /dev/ttyS0, /dev/ttyACM0, /dev/ttyUSB1"));
  }

  // A simulator keeps its terminal open: that is the line's far end, nothing to fix.
  void terminalHeldByItsFarEndNeedsNothing() {
    DoctorFacts facts = healthy();
    facts.ports[0] = presentPort(3, QStringLiteral("/dev/pts/4"));
    facts.ports[0].holders = {{777, "korvane-sim"}};
    const QList<DoctorFinding> findings = diagnose(facts);
    QCOMPARE(findings.size(), 1);
    QCOMPARE(findings[0].severity, DoctorFinding::Severity::Ok);
    QVERIFY2(findings[0].what.endsWith("its far end is 777 korvane-sim"), qPrintable(findings[0].what));
    QCOMPARE(doctorExitCode(findings), 0);
  }

  void latencyTimer_data() {
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QStringList>("what");
    QTest::addColumn<QStringList>("fix");
    const QStringList noFix;
    const QString ownLowLatency =
        "Tamberlin asks the driver for low latency (1 ms) while it has the port open, so its own downloads "
        "lose no time; other programs do";
    const QStringList fix{"for other programs, set it to 1 ms",
                          "for now: echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer",
                          "echo 'ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
                          "ATTR{latency_timer}=\"1\"' | sudo tee /etc/udev/rules.d/99-ftdi-latency.rules"};
    QTest::newRow("1 ms") << 1u << "ok" << QStringList{"COM3: the adapter's latency timer is 1 ms"} << noFix;
    QTest::newRow("2 ms") << 2u << "ok" << QStringList{"COM3: the adapter's latency timer is 2 ms"} << noFix;
    QTest::newRow("3 ms")
        << 3u << "note"
        << QStringList{"COM3: the adapter's latency timer is 3 ms: it holds received bytes up "
                       "to 3 ms before it hands them on",
                       "(about 0.4 s over a 16 KiB script)", ownLowLatency}
        << fix;
    QTest::newRow("16 ms, the default")
        << 16u << "note"
        << QStringList{"latency timer is 16 ms", "(about 2 s over a 16 KiB script)", ownLowLatency} << fix;
  }
  // Tamberlin asks for low latency itself while it has the port open: a long timer costs only other
  // programs time, a note with the fix for them, nothing that needs fixing.
  void latencyTimer() {
    QFETCH(quint32, ms);
    DoctorFacts facts = healthy();
    facts.ports[0].latencyTimerMs = ms;
    const QList<DoctorFinding> findings = diagnose(facts);
    QCOMPARE(findings.size(), 2);
    const DoctorFinding &latency = findings[1];
    QTEST(severityName(latency.severity), "severity");
    QCOMPARE(latency.port, QStringLiteral("COM3"));
    QFETCH(QStringList, what);
    for (const QString &part : std::as_const(what))
      QVERIFY2(latency.what.contains(part), qPrintable(latency.what));
    QFETCH(QStringList, fix);
    QCOMPARE(latency.fix.isEmpty(), fix.isEmpty());
    for (const QString &part : std::as_const(fix))
      QVERIFY2(latency.fix.contains(part), qPrintable(latency.fix));
    QCOMPARE(doctorExitCode(findings), 0);
  }

  // Every finding about an adapter's port names the adapter, in its text and as the "usb" object of
  // ports --json; the others have none.
  void findingsNameTheAdapter() {
    DoctorFacts facts = healthy();
    facts.ports[0].usb = ftdiAdapter();
    facts.ports[0].holders = {{4242, "minicom"}};
    facts.ports[0].latencyTimerMs = 16;
    facts.ports << presentPort(4, QStringLiteral("/dev/ttyS0"));
    facts.access.insert(4, facts.access[3]);
    facts.grabbers << ProcessList::Process{612, "ModemManager"};

    const QList<DoctorFinding> findings = diagnose(facts);
    QCOMPARE(findings.size(), 5); // COM3: access, holder, latency; COM4: access; ModemManager
    QCOMPARE(findings[0].what, QStringLiteral("COM3 (/dev/ttyUSB0, USB 0403:6001 serial A10K \"FT232R USB "
                                              "UART\"): tech may open it"));
    const QJsonObject portsUsb = PortsReport::portEvent(facts.ports[0])["usb"].toObject();
    QCOMPARE(portsUsb["serial"].toString(), QStringLiteral("A10K"));
    for (int i : {0, 1, 2}) {
      QCOMPARE(findings[i].port, QStringLiteral("COM3"));
      QCOMPARE(findingEvent(findings[i])["usb"].toObject(), portsUsb);
    }
    QCOMPARE(findings[3].what, QStringLiteral("COM4 (/dev/ttyS0): tech may open it"));
    QVERIFY(findingEvent(findings[3])["usb"].isNull());
    QVERIFY(findingEvent(findings[4])["usb"].isNull());
  }

  // The timer from sysfs, where the adapter's driver has one; nothing for a driver without it or an
  // attribute that reads as no number.
  void latencyTimerFromTheMachine() {
    FakeSystem sys;
    QVERIFY(sys.usbAdapter("ttyUSB0", "0403", "6001", "A10K", "FT232R USB UART"));
    QVERIFY(sys.latencyTimer("ttyUSB0", "16\n"));
    QVERIFY(sys.usbAdapter("ttyUSB1", "0403", "6015", "B20Q", "FT230X Basic UART"));
    QVERIFY(sys.latencyTimer("ttyUSB1", "sixteen\n"));
    QVERIFY(sys.usbAdapter("ttyACM2", "2341", "0043", "C30R", "Arduino Uno"));
    PortMap map;
    refreshPortMap(map);

    DoctorFacts facts = gatherDoctorFacts(map);
    facts.busProblem.clear(); // the session bus of the machine running the test is not faked
    QHash<QString, std::optional<quint32>> timers;
    for (const PortFacts &port : std::as_const(facts.ports))
      timers.insert(QFileInfo(port.device).fileName(), port.latencyTimerMs);
    QCOMPARE(timers.size(), 3);
    QCOMPARE(timers.value("ttyUSB0").value_or(0), 16u);
    QVERIFY(!timers.value("ttyUSB1").has_value());
    QVERIFY(!timers.value("ttyACM2").has_value());

    QList<DoctorFinding> notes;
    for (const DoctorFinding &f : diagnose(facts))
      if (f.severity == DoctorFinding::Severity::Note)
        notes << f;
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].fix.contains("sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer"),
             qPrintable(notes[0].fix));
    QCOMPARE(findingEvent(notes[0])["usb"].toObject()["product"].toString(), QStringLiteral("6001"));
  }

  // From a fake machine: locks whose owner has ended, services that grab adapters, the access of
  // each present port and no access check for an absent one.
  void factsFromTheMachine() {
    FakeSystem sys;
    QVERIFY(sys.write("dev/ttyV1"));
    QVERIFY(sys.write("dev/ttyV2"));
    QVERIFY(sys.entry(1, sys.path("dev/ttyV1")));
    QVERIFY(sys.entry(2, sys.path("dev/ttyV2")));
    QVERIFY(sys.entry(5, sys.path("dev/ttyV5")));
    sys.access.byNode.insert(sys.canonical("dev/ttyV2"), refused("dialout", false));
    QVERIFY(sys.process(100, "ModemManager"));
    QVERIFY(sys.process(101, "brltty"));
    QVERIFY(sys.process(102, "bash"));
    QVERIFY(sys.lock("ttyV1", 102)); // its owner runs
    QVERIFY(sys.lock("ttyV2", 9999));
    QVERIFY(sys.write("lock/LCK..ttyV3", "garbage\n")); // names no process: not judged

    const DoctorFacts facts = gatherDoctorFacts(PortMap());

    QCOMPARE(facts.ports.size(), 3);
    QCOMPARE(facts.access.keys(), (QList<quint16>{1, 2}));
    QCOMPARE(facts.access[2].error, EACCES);
    QCOMPARE(facts.staleLocks.size(), 1);
    QCOMPARE(facts.staleLocks[0].path, sys.path("lock/LCK..ttyV2"));
    QCOMPARE(facts.staleLocks[0].pid, 9999);
    QCOMPARE(facts.grabbers, (QList<ProcessList::Process>{{100, "ModemManager"}, {101, "brltty"}}));

    const QList<DoctorFinding> findings = diagnose(facts);
    QStringList fixedPorts;
    for (const DoctorFinding &f : findings)
      if (f.needsFixing() && !f.port.isEmpty())
        fixedPorts << f.port;
    // COM1: locked by a running bash; COM2: no access and a stale lock; COM5: leads nowhere.
    QCOMPARE(fixedPorts, (QStringList{"COM1", "COM2", "COM5", "COM2"}));
  }
};

QTEST_GUILESS_MAIN(TestDoctor)
#include "test_doctor.moc"
