// tamberlin-cli's Windows parts that need no Windows: the port listing and the doctor from given
// ports, probe results and USB record, the help texts and the port forms.
#include "cli/PortSpec.h"
#include "cli/SystemUsage.h"
#include "cli/windows/ComPortChecks.h"
#include "cli/windows/ComPortsReport.h"

#include <QTest>

using State = ComPortUse::State;
using Device = UsbDeviceTable::Device;
using Uses = QMap<quint16, ComPortUse>;
Q_DECLARE_METATYPE(Uses)

namespace {
// COM3: an FTDI adapter with a serial number. COM4: a Prolific adapter without one. COM12 and
// COM30: adapters of which the first is unplugged (SERIALCOMM does not list it) and the second,
// listed before COM3's, could be mistaken for it. A mouse has no port.
QList<Device> usbRecord() {
  return {
      {"VID_046D&PID_C077", {{"5&1f2e&0&1", "USB Input Device"}}},
      {"VID_0403&PID_6015", {{"B20Q", "USB Serial Port (COM30)"}}},
      {"VID_0403&PID_6001", {{"A10K", "USB Serial Port (COM3)"}}},
      {"VID_2341&PID_0043&MI_00", {{"6&2b7c&0&0000", "Arduino Uno (COM12)"}}},
      {"vid_067b&pid_2303", {{"5&a1b2&0&2", ""}, {"5&a1b2&0&3", "Prolific USB-to-Serial Comm Port (com4)"}}}};
}

QList<ComPortFacts> threePorts() {
  return comPortFacts(
      {3, 4, 7}, {{4, {State::Held, {}}}, {7, {State::Failed, "The semaphore timeout period has expired."}}},
      usbRecord());
}
} // namespace

class TestCliWindows : public QObject {
  Q_OBJECT

private slots:
  void portsWithUseAndUsbIdentity() {
    const QList<ComPortFacts> ports = threePorts();
    QCOMPARE(ports.size(), 3);
    QVERIFY(ports[0].usb.has_value());
    QCOMPARE(ports[0].usb->vendorId, QStringLiteral("0403"));
    QCOMPARE(ports[0].usb->productId, QStringLiteral("6001"));
    QCOMPARE(ports[0].usb->serial, QStringLiteral("A10K"));
    QCOMPARE(ports[0].usb->product, QStringLiteral("USB Serial Port"));
    QVERIFY(ports[1].held());
    QCOMPARE(ports[1].usb->vendorId, QStringLiteral("067B"));
    QCOMPARE(ports[1].usb->serial, QString()); // the instance key is a bus place, no serial
    QCOMPARE(ports[1].usb->product, QStringLiteral("Prolific USB-to-Serial Comm Port"));
    QVERIFY(ports[2].present());
    QVERIFY(!ports[2].usb.has_value());
    QCOMPARE(usbIdentityOfPort(usbRecord(), 12)->productId, QStringLiteral("0043"));
    QVERIFY(!usbIdentityOfPort(usbRecord(), 1).has_value());
  }

  void tableIsAligned() {
    const QStringList lines = ComPortsReport::table(threePorts()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const qsizetype usbColumn = lines[0].indexOf("USB");
    const qsizetype useColumn = lines[0].indexOf("USE");
    QCOMPARE(lines[1].indexOf("0403:6001 serial A10K \"USB Serial Port\""), usbColumn);
    QCOMPARE(lines[1].mid(useColumn), QStringLiteral("free"));
    QCOMPARE(lines[2].mid(useColumn), QStringLiteral("held by another program"));
    QCOMPARE(lines[3].mid(usbColumn, 3), QStringLiteral("-  "));
    QCOMPARE(lines[3].mid(useColumn),
             QStringLiteral("cannot be opened: The semaphore timeout period has expired."));
  }

  void jsonEventPerPortAndSummary() {
    const QList<ComPortFacts> ports = threePorts();
    const QJsonObject free = ComPortsReport::portEvent(ports[0]);
    QCOMPARE(free["port"].toString(), QStringLiteral("COM3"));
    QCOMPARE(free["device"].toString(), QStringLiteral("\\\\.\\COM3"));
    QCOMPARE(free["present"].toBool(), true);
    QCOMPARE(free["held"].toBool(true), false);
    QVERIFY(free["error"].isNull());
    QCOMPARE(free["usb"]["serial"].toString(), QStringLiteral("A10K"));
    QCOMPARE(free["usb"]["name"].toString(), QStringLiteral("USB Serial Port"));
    for (const char *linuxOnly : {"entry", "target", "automatic", "holders"})
      QVERIFY2(!free.contains(linuxOnly), linuxOnly);
    const QJsonObject held = ComPortsReport::portEvent(ports[1]);
    QVERIFY(held["usb"]["serial"].isNull());
    QCOMPARE(ComPortsReport::portEvent(ports[2])["error"].toString(),
             QStringLiteral("The semaphore timeout period has expired."));

    const QJsonObject summary = ComPortsReport::summaryEvent(ports);
    QCOMPARE(summary["event"].toString(), QStringLiteral("summary"));
    QCOMPARE(summary["ports"].toInt(), 3);
    QCOMPARE(summary["present"].toInt(), 3);
    QCOMPARE(summary["held"].toInt(), 1);
  }

  void doctorFinding_data() {
    QTest::addColumn<QList<quint16>>("ports");
    QTest::addColumn<Uses>("uses");
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("fix");
    QTest::newRow("free port")
        << QList<quint16>{3} << Uses{} << "ok"
        << "COM3 (\\\\.\\COM3, USB 0403:6001 serial A10K \"USB Serial Port\"): can be opened"
        << "";
    QTest::newRow("held by another program") << QList<quint16>{3} << Uses{{3, {State::Held, {}}}} << "warning"
                                             << "COM3 (\\\\.\\COM3, USB 0403:6001 serial A10K \"USB Serial "
                                                "Port\") is held by another program; nobody else can "
                                                "open it meanwhile"
                                             << "close the program that uses COM3";
    QTest::newRow("cannot be opened")
        << QList<quint16>{7}
        << Uses{{7, {State::Failed, "A device attached to the system is not functioning."}}} << "error"
        << "COM7 (\\\\.\\COM7) cannot be opened: A device attached to the system is not functioning."
        << "reinstall its driver (Device Manager, \"Ports (COM & LPT)\")";
    QTest::newRow("gone since listed") << QList<quint16>{5} << Uses{{5, {State::Absent, {}}}} << "warning"
                                       << "COM5 (\\\\.\\COM5) was listed but has gone"
                                       << "plug the adapter in again";
    QTest::newRow("no COM port at all") << QList<quint16>{} << Uses{} << "error"
                                        << "the system has no COM port"
                                        << "look in Device Manager under \"Ports (COM & LPT)\"";
  }
  // One finding per port, or one for none; what needs fixing gives exit code 1.
  void doctorFinding() {
    QFETCH(QList<quint16>, ports);
    QFETCH(Uses, uses);
    const QList<DoctorFinding> findings = diagnoseComPorts(comPortFacts(ports, uses, usbRecord()));
    QCOMPARE(findings.size(), 1);
    QTEST(severityName(findings[0].severity), "severity");
    QFETCH(QString, what);
    QCOMPARE(findings[0].what, what);
    QFETCH(QString, fix);
    QVERIFY2(findings[0].fix.contains(fix), qPrintable(findings[0].fix));
    QCOMPARE(findings[0].fix.isEmpty(), fix.isEmpty());
    QCOMPARE(doctorExitCode(findings), findings[0].needsFixing() ? 1 : 0);
  }

  void latencyTimer_data() {
    QTest::addColumn<quint32>("ms");
    QTest::addColumn<QString>("severity");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("fix");
    const QString fix = "set it to 1 ms: Device Manager > Ports (COM & LPT) > the adapter of COM3 > "
                        "Properties > Port Settings > Advanced... > Latency Timer (msec): 1, then OK";
    QTest::newRow("1 ms") << 1u << "ok"
                          << "COM3: the adapter's latency timer is 1 ms"
                          << "";
    QTest::newRow("2 ms") << 2u << "ok"
                          << "COM3: the adapter's latency timer is 2 ms"
                          << "";
    QTest::newRow("16 ms, the default")
        << 16u << "warning"
        << "COM3: the adapter's latency timer is 16 ms: it holds received bytes up to 16 ms before it hands "
           "them on, so each handshake dot of a download can come that much late (about 2 s over a 16 KiB "
           "script)"
        << fix;
    QTest::newRow("255 ms, the most")
        << 255u << "warning"
        << "COM3: the adapter's latency timer is 255 ms: it holds received bytes "
           "up to 255 ms before it hands them on, so each handshake dot of a "
           "download can come that much late (about 33 s over a 16 KiB script)"
        << fix;
  }
  // The FTDI driver's timer: above 2 ms each handshake dot waits for it, which needs fixing. Both
  // findings of the port name its adapter as ports --json does.
  void latencyTimer() {
    QFETCH(quint32, ms);
    QList<ComPortFacts> ports = comPortFacts({3}, {}, usbRecord());
    ports[0].latencyTimerMs = ms;
    const QList<DoctorFinding> findings = diagnoseComPorts(ports);
    QCOMPARE(findings.size(), 2);
    const DoctorFinding &latency = findings[1];
    QTEST(severityName(latency.severity), "severity");
    QCOMPARE(latency.port, QStringLiteral("COM3"));
    QTEST(latency.what, "what");
    QTEST(latency.fix, "fix");
    QCOMPARE(doctorExitCode(findings), latency.needsFixing() ? 1 : 0);
    const QJsonObject usb = ComPortsReport::portEvent(ports[0])["usb"].toObject();
    QCOMPARE(usb["serial"].toString(), QStringLiteral("A10K"));
    for (const DoctorFinding &f : findings)
      QCOMPARE(findingEvent(f)["usb"].toObject(), usb);
  }

  // Nothing the Windows texts say may send the user to Linux's facilities.
  void textsSpeakOfWindowsOnly() {
    using C = CliOptions::Command;
    QStringList texts;
    for (C command : {C::None, C::Write, C::Find, C::Ports, C::Doctor, C::Trace})
      texts << cliUsage(command, systemUsage());
    QList<ComPortFacts> ports = threePorts();
    ports[0].latencyTimerMs = 16;
    for (const DoctorFinding &f : diagnoseComPorts(ports) + diagnoseComPorts({}))
      texts << f.what << f.fix;
    texts << PortSpec::absentText("COM9");
    for (const QString &text : std::as_const(texts))
      for (const char *linux : {"port map", "/dev", "dialout", "lock file", "ModemManager", "D-Bus", "SIG"})
        QVERIFY2(!text.contains(QLatin1String(linux)), qPrintable(text));
  }

  void portForms_data() {
    QTest::addColumn<QStringList>("specs");
    QTest::addColumn<QList<quint16>>("ports");
    QTest::addColumn<QString>("error");
    QTest::newRow("each form once") << QStringList{"COM3", "12", "\\\\.\\COM7", "\\\\.\\com7"}
                                    << QList<quint16>{3, 12, 7} << "";
    QTest::newRow("a device path")
        << QStringList{"/dev/ttyUSB0"} << QList<quint16>{}
        << "\"/dev/ttyUSB0\" is not a port: use COMn, n, usb:<serial>, usb:path:<instance> or \\\\.\\COMn";
    QTest::newRow("port 0")
        << QStringList{"\\\\.\\COM0"} << QList<quint16>{}
        << "\"\\\\.\\COM0\" is not a port: use COMn, n, usb:<serial>, usb:path:<instance> or \\\\.\\COMn";
  }
  void portForms() {
    QFETCH(QStringList, specs);
    const PortSpec::Resolved resolved = PortSpec::resolve(specs);
    QTEST(resolved.ports, "ports");
    QTEST(resolved.error, "error");
  }
};

QTEST_GUILESS_MAIN(TestCliWindows)
#include "test_cli_windows.moc"
