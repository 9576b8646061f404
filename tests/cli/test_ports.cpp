// tamberlin-cli ports on a fake machine: entries, their state, who made them, USB identity, holder.
#include "cli/linux/PortFacts.h"
#include "cli/linux/PortsReport.h"

#include "tests/cli/FakeSystem.h"

#include <QJsonArray>
#include <QTest>

class TestPorts : public QObject {
  Q_OBJECT
  std::unique_ptr<FakeSystem> sys;

  // COM3: an FTDI adapter numbered by the program, open in minicom. COM7: a user's entry for an
  // onboard port that another user's screen has locked. COM9: a user's entry for an unplugged
  // adapter.
  QList<PortFacts> threeEntries() {
    [&] {
      QVERIFY(sys->usbAdapter("ttyUSB0", "0403", "6001", "A10K", "FT232R USB UART"));
      QVERIFY(sys->write("dev/ttyS5"));
      QVERIFY(sys->entry(7, sys->path("dev/ttyS5")));
      QVERIFY(sys->entry(9, sys->path("dev/ttyUSB9")));
      QVERIFY(sys->process(4242, "minicom", {sys->canonical("dev/ttyUSB0")}));
      QVERIFY(sys->process(5151, "screen"));
      QVERIFY(sys->lock("ttyS5", 5151));
      QVERIFY(sys->lock("ttyUSB9", 6000)); // its owner is gone
    }();
    PortMap map;
    refreshPortMap(map);
    return gatherPortFacts(map);
  }

private slots:
  void init() { sys = std::make_unique<FakeSystem>(); }
  void cleanup() { sys.reset(); }

  void everyEntryWithWhatIsKnown() {
    const QList<PortFacts> ports = threeEntries();
    QCOMPARE(ports.size(), 3);

    const PortFacts &usb = ports[0];
    QCOMPARE(usb.number, quint16(3));
    QVERIFY(usb.present());
    QVERIFY(usb.automatic);
    QVERIFY(usb.target.endsWith("dev/serial/by-id/usb-FT232R_USB_UART_A10K-if00"));
    QCOMPARE(usb.device, sys->canonical("dev/ttyUSB0"));
    QVERIFY(usb.usb.has_value());
    QCOMPARE(usb.usb->vendorId, QStringLiteral("0403"));
    QCOMPARE(usb.usb->productId, QStringLiteral("6001"));
    QCOMPARE(usb.usb->serial, QStringLiteral("A10K"));
    QCOMPARE(usb.usb->product, QStringLiteral("FT232R USB UART"));
    QCOMPARE(usb.holders, (QList<ProcessList::Process>{{4242, "minicom"}}));

    const PortFacts &uart = ports[1];
    QCOMPARE(uart.number, quint16(7));
    QVERIFY(uart.present());
    QVERIFY(!uart.automatic);
    QVERIFY(!uart.usb.has_value());
    // Nobody visibly has it open, but its lock file names a live process.
    QCOMPARE(uart.holders, (QList<ProcessList::Process>{{5151, "screen"}}));

    const PortFacts &gone = ports[2];
    QCOMPARE(gone.number, quint16(9));
    QCOMPARE(gone.state, PortMap::State::Dangling);
    QCOMPARE(gone.target, sys->path("dev/ttyUSB9"));
    QVERIFY(gone.device.isEmpty());
    QVERIFY(gone.holders.isEmpty());
  }

  void jsonEventPerEntryAndSummary() {
    const QList<PortFacts> ports = threeEntries();
    const QJsonObject usb = PortsReport::portEvent(ports[0]);
    QCOMPARE(usb["event"].toString(), QStringLiteral("port"));
    QCOMPARE(usb["port"].toString(), QStringLiteral("COM3"));
    QCOMPARE(usb["present"].toBool(), true);
    QCOMPARE(usb["automatic"].toBool(), true);
    QCOMPARE(usb["usb"]["vendor"].toString(), QStringLiteral("0403"));
    QCOMPARE(usb["usb"]["serial"].toString(), QStringLiteral("A10K"));
    QCOMPARE(usb["holders"].toArray().first()["pid"].toInteger(), 4242);
    QCOMPARE(usb["holders"].toArray().first()["name"].toString(), QStringLiteral("minicom"));

    const QJsonObject gone = PortsReport::portEvent(ports[2]);
    QCOMPARE(gone["present"].toBool(true), false);
    QVERIFY(gone["device"].isNull());
    QVERIFY(gone["usb"].isNull());
    QCOMPARE(gone["target"].toString(), sys->path("dev/ttyUSB9"));

    const QJsonObject summary = PortsReport::summaryEvent(ports, sys->roots.folder);
    QCOMPARE(summary["event"].toString(), QStringLiteral("summary"));
    QCOMPARE(summary["entries"].toInt(), 3);
    QCOMPARE(summary["present"].toInt(), 2);
  }

  // Each column starts where its heading starts, whatever the width of the cells above it.
  void tableIsAligned() {
    const QStringList lines = PortsReport::table(threeEntries()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const qsizetype stateColumn = lines[0].indexOf("STATE");
    const qsizetype usbColumn = lines[0].indexOf("USB");
    const qsizetype holderColumn = lines[0].indexOf("HELD BY");
    QCOMPARE(lines[1].indexOf("present"), stateColumn);
    QCOMPARE(lines[3].indexOf("absent"), stateColumn);
    QCOMPARE(lines[1].indexOf("0403:6001 serial A10K \"FT232R USB UART\""), usbColumn);
    QCOMPARE(lines[1].indexOf("4242 minicom"), holderColumn);
    QCOMPARE(lines[2].indexOf("5151 screen"), holderColumn);
    QCOMPARE(lines[3].mid(usbColumn, 3), QStringLiteral("-  "));
    QCOMPARE(lines[3].mid(holderColumn), QStringLiteral("-"));
  }

  void emptyMapListsNothing() {
    PortMap map;
    QVERIFY(gatherPortFacts(map).isEmpty());
    QCOMPARE(PortsReport::summaryEvent({}, map.folder())["entries"].toInt(-1), 0);
  }
};

QTEST_GUILESS_MAIN(TestPorts)
#include "test_ports.moc"
