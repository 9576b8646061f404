// USB serial adapters as udev reports them, from plugging in to pulling out: the device paths of
// arrival and removal, the device table built from their ttys, and the port that an arrival offers.
#include "platform/UsbIdentity.h"

#include "tests/gateway/PortManagerFixture.h"
#include "tests/portmap/UdevRecordings.h"

#include <QTest>

namespace {

const QString kClass = QStringLiteral("#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");

// Events separated by blank lines, one KEY=VALUE per line.
QList<UdevProperties> events(const char *recording) {
  QList<UdevProperties> all;
  UdevProperties current;
  for (const QByteArray &line : QByteArray(recording).split('\n')) {
    const qsizetype eq = line.indexOf('=');
    if (eq > 0) {
      current.insert(line.left(eq), line.mid(eq + 1));
    } else if (!current.isEmpty()) {
      all << current;
      current.clear();
    }
  }
  if (!current.isEmpty())
    all << current;
  return all;
}

QStringList reports(const QList<UdevProperties> &recorded) {
  UsbEventFilter filter;
  QStringList seen;
  for (const UdevProperties &event : recorded)
    if (const std::optional<UsbEventFilter::Report> r = filter.take(event))
      seen << (r->arrival ? QStringLiteral("arrival ") : QStringLiteral("removal ")) + r->path;
  return seen;
}

// The ttys that appeared, on ports coms in order of their appearance.
QList<UsbDeviceTable::Device> tableOf(const QList<UdevProperties> &recorded, const QList<quint16> &coms) {
  QList<UsbDeviceTable::Device> table;
  qsizetype next = 0;
  for (const UdevProperties &event : recorded)
    if (event.value("SUBSYSTEM") == "tty" && event.value("ACTION") == "add")
      addToUsbDeviceTable(table, event, coms.value(next++));
  return table;
}

QStringList flat(const QList<UsbDeviceTable::Device> &table) {
  QStringList lines;
  for (const UsbDeviceTable::Device &d : table)
    for (const UsbDeviceTable::Instance &i : d.instances)
      lines << d.name + QLatin1Char('|') + i.name + QLatin1Char('|') + i.friendlyName;
  return lines;
}

class FixedUsbTable : public UsbDeviceTable {
public:
  explicit FixedUsbTable(QList<Device> devices) : m_devices(std::move(devices)) { setInstance(this); }
  ~FixedUsbTable() override { setInstance(nullptr); }
  std::optional<QList<Device>> devices() const override { return m_devices; }

private:
  QList<Device> m_devices;
};

} // namespace

class TestUsbIdentity : public QObject {
  Q_OBJECT

private slots:
  void adapterFromAddToRemove_data() {
    QTest::addColumn<QString>("recording");
    QTest::addColumn<QList<quint16>>("coms");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QString>("offered");
    QTest::newRow("FTDI FT232R") << "ftdi" << QList<quint16>{5}
                                 << "\\\\?\\USB#VID_0403&PID_6001#A50285BI" + kClass
                                 << QStringList{"VID_0403&PID_6001|A50285BI|FT232R USB UART (COM5)"}
                                 << "COM5";
    QTest::newRow("Silicon Labs CP2102")
        << "cp2102" << QList<quint16>{6} << "\\\\?\\USB#VID_10C4&PID_EA60#0001" + kClass
        << QStringList{"VID_10C4&PID_EA60|0001|CP2102 USB to UART Bridge Controller (COM6)"} << "COM6";
    QTest::newRow("WCH CH340 without a serial number")
        << "ch340" << QList<quint16>{7} << "\\\\?\\USB#VID_1A86&PID_7523#3-1.4" + kClass
        << QStringList{"VID_1A86&PID_7523|3-1.4|USB2.0-Serial (COM7)"} << "COM7";
    QTest::newRow("CDC-ACM with two interfaces")
        << "cdcacm" << QList<quint16>{8} << "\\\\?\\USB#VID_0483&PID_5740#207A35A35748" + kClass
        << QStringList{"VID_0483&PID_5740|207A35A35748|STM32 Virtual ComPort (COM8)"} << "COM8";
    // Of two ports of one device the last one is offered, as the lookup takes the last match.
    QTest::newRow("product name with brackets")
        << "brackets" << QList<quint16>{9, 10} << "\\\\?\\USB#VID_1D50&PID_6018#7BB180B4" + kClass
        << QStringList{"VID_1D50&PID_6018|7BB180B4|Black Magic Probe [ST-Link/v2] v1.8.2 (COM9)",
                       "VID_1D50&PID_6018|7BB180B4|Black Magic Probe [ST-Link/v2] v1.8.2 (COM10)"}
        << "COM10";
  }
  void adapterFromAddToRemove() {
    QFETCH(QString, recording);
    QFETCH(QList<quint16>, coms);
    QFETCH(QString, path);
    QFETCH(QStringList, table);
    QFETCH(QString, offered);
    const QHash<QString, const char *> recordings{{"ftdi", UdevRecordings::ftdiFt232r},
                                                  {"cp2102", UdevRecordings::siliconLabsCp2102},
                                                  {"ch340", UdevRecordings::wchCh340},
                                                  {"cdcacm", UdevRecordings::cdcAcmTwoInterfaces},
                                                  {"brackets", UdevRecordings::bracketedProductName}};
    const QList<UdevProperties> recorded = events(recordings.value(recording));
    QVERIFY(recorded.size() >= 4);

    // One arrival at "bind", one removal with the same path, nothing for interfaces and ttys.
    QCOMPARE(reports(recorded), (QStringList{"arrival " + path, "removal " + path}));

    const QList<UsbDeviceTable::Device> devices = tableOf(recorded, coms);
    QCOMPARE(flat(devices), table);

    // The arrival offers the device's port.
    PortManagerFixture fixture;
    FixedUsbTable installed(devices);
    MessageSpy owner;
    std::unique_ptr<PortManager> manager = fixture.manager(owner);
    QCOMPARE(manager->findUSBComePort(path), offered);
    QStringList questions;
    manager->front.translate = [](const QString &key) -> std::optional<QString> {
      if (key == QLatin1String("kvSerialDetectUSBCome"))
        return QStringLiteral("true");
      if (key == QLatin1String("kvSerialUseUSBCome"))
        return QStringLiteral("Use %s for the gateway?");
      return key;
    };
    manager->front.confirm = [&](const QString &text, const QString &) {
      questions << text;
      return false;
    };
    fixture.usb.arrive(path);
    QCOMPARE(questions, QStringList{"Use " + offered + " for the gateway?"});
  }

  // A device that was plugged in before the program started is known by what "remove" carries.
  void removalOfADeviceNeverSeenArriving_data() {
    QTest::addColumn<QByteArray>("event");
    QTest::addColumn<QString>("path");
    QTest::newRow("kernel properties only")
        << QByteArray("ACTION=remove\nDEVPATH=/devices/pci0000:00/0000:00:14.0/usb1/1-2\nSUBSYSTEM=usb\n"
                      "DEVTYPE=usb_device\nPRODUCT=403/6001/600\n")
        << "\\\\?\\USB#VID_0403&PID_6001#1-2" + kClass;
    QTest::newRow("with udev's database")
        << QByteArray("ACTION=remove\nDEVPATH=/devices/pci0000:00/0000:00:14.0/usb1/1-3\nSUBSYSTEM=usb\n"
                      "DEVTYPE=usb_device\nPRODUCT=10c4/ea60/100\nID_VENDOR_ID=10c4\nID_MODEL_ID=ea60\n"
                      "ID_SERIAL_SHORT=0001\n")
        << "\\\\?\\USB#VID_10C4&PID_EA60#0001" + kClass;
    QTest::newRow("an interface") << QByteArray(
                                         "ACTION=remove\nDEVPATH=/devices/x/usb1/1-3/1-3:1.0\nSUBSYSTEM=usb\n"
                                         "DEVTYPE=usb_interface\nPRODUCT=10c4/ea60/100\n")
                                  << QString();
    QTest::newRow("no identity") << QByteArray("ACTION=remove\nDEVPATH=/devices/x/usb1/1-3\nSUBSYSTEM=usb\n"
                                               "DEVTYPE=usb_device\n")
                                 << QString();
  }
  void removalOfADeviceNeverSeenArriving() {
    QFETCH(QByteArray, event);
    QFETCH(QString, path);
    const QStringList seen = reports(events(event.constData()));
    QCOMPARE(seen, path.isEmpty() ? QStringList() : QStringList{"removal " + path});
  }
};

QTEST_GUILESS_MAIN(TestUsbIdentity)
#include "test_usbidentity.moc"
