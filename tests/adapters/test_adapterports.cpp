// Which USB adapter is on which COM port: the Linux view (port map, sysfs), the record of USB
// devices that Windows keeps, and what a binding names.
#include "platform/AdapterPorts.h"
#include "platform/UsbPortNames.h"

#include "tests/cli/FakeSystem.h"

#include <QTest>

class TestAdapterPorts : public QObject {
  Q_OBJECT

private slots:
  // The port map's present entries with a USB device above them, newly plugged adapters included.
  void linuxView() {
    FakeSystem system;
    QVERIFY(system.usbAdapter("ttyUSB0", "0403", "6001", "A50285BI", "FT232R USB UART"));
    QVERIFY(system.usbAdapter("ttyUSB1", "1a86", "7523", "", "USB Serial"));
    QVERIFY(system.write("dev/ttyS0"));
    QVERIFY(system.entry(9, system.path("dev/ttyUSB1")));
    QVERIFY(system.entry(1, system.path("dev/ttyS0")));
    QVERIFY(system.entry(12, system.path("dev/ttyUSB7"))); // unplugged: dangles

    QString note;
    const QList<AdapterPort> ports = AdapterPorts::instance().present(&note);
    QCOMPARE(note, QString());
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0).com, quint16(3)); // given by the map just now
    QCOMPARE(ports.at(0).binding(), QStringLiteral("usb:A50285BI"));
    QCOMPARE(ports.at(0).text(), QStringLiteral("0403:6001 serial A50285BI"));
    QCOMPARE(ports.at(1).com, quint16(9));
    QCOMPARE(ports.at(1).binding(), QStringLiteral("usb:path:1-1"));
    QCOMPARE(ports.at(1).text(), QStringLiteral("1A86:7523 at USB path 1-1"));
    QCOMPARE(adapterOnPort(ports, 9)->place, QStringLiteral("1-1"));
    QVERIFY(!adapterOnPort(ports, 1));
  }

  // Windows keeps every adapter it has seen; only those on a present port are plugged in.
  void windowsRecord() {
    const QList<UsbDeviceTable::Device> table{
        {"VID_0403&PID_6001", {{"A50285BI", "USB Serial Port (COM5)"}, {"FT9XQ2", "USB Serial Port (COM8)"}}},
        {"VID_1A86&PID_7523", {{"6&2c8a3b1&0&3", "USB-SERIAL CH340 (COM4)"}}},
        {"VID_046D&PID_C077", {{"5&1a2b&0&1", "USB Input Device"}}}};
    const QList<AdapterPort> ports = usbAdapterPorts(table, {1, 4, 5});
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports.at(0).binding(), QStringLiteral("usb:path:6&2c8a3b1&0&3"));
    QCOMPARE(ports.at(0).text(), QStringLiteral("1A86:7523 at USB path 6&2c8a3b1&0&3"));
    QCOMPARE(ports.at(1).com, quint16(5));
    QCOMPARE(ports.at(1).binding(), QStringLiteral("usb:A50285BI"));
    QCOMPARE(usbIdentityOfPort(table, 8)->serial, QStringLiteral("FT9XQ2"));
  }

  void bindingNames_data() {
    QTest::addColumn<QString>("binding");
    QTest::addColumn<QList<quint16>>("named");
    QTest::newRow("serial") << "usb:S1" << QList<quint16>{3, 4};
    QTest::newRow("serial, other case") << "usb:s1" << QList<quint16>{};
    QTest::newRow("path of one with a serial") << "usb:path:1-2" << QList<quint16>{4};
    QTest::newRow("path of one without") << "usb:path:1-3" << QList<quint16>{5};
    QTest::newRow("empty path") << "usb:path:" << QList<quint16>{};
  }
  void bindingNames() {
    QFETCH(QString, binding);
    QFETCH(QList<quint16>, named);
    const auto adapter = [](quint16 com, const QString &serial, const QString &place) {
      AdapterPort p;
      p.com = com;
      p.usb.serial = serial;
      p.place = place;
      return p;
    };
    const QList<AdapterPort> ports{adapter(3, "S1", "1-1"), adapter(4, "S1", "1-2"), adapter(5, "", "1-3")};
    QList<quint16> found;
    for (const AdapterPort &p : adaptersWithBinding(ports, binding))
      found << p.com;
    QCOMPARE(found, named);
    QCOMPARE(isAdapterBinding(binding), binding != "usb:path:");
  }
};

QTEST_GUILESS_MAIN(TestAdapterPorts)
#include "test_adapterports.moc"
