// The COM port of a USB device from the system's USB record in the registry: keys this test writes
// under HKEY_LOCAL_MACHINE, read back through the registry table and the port manager's lookup.
#include "gateway/PortManager.h"
#include "platform/UsbDeviceTable.h"
#include "tests/wine/MachineRegistry.h"

#include <QCoreApplication>
#include <QTest>

namespace {
const QString kUsbKey = QStringLiteral("SYSTEM\\ControlSet001\\Enum\\USB");

// A vendor of this run's own, so that tests running at once in one Wine prefix do not meet.
QString device(const QString &product) {
  return QStringLiteral("VID_F%1&PID_%2")
      .arg(QCoreApplication::applicationPid() % 0x1000, 3, 16, QLatin1Char('0'))
      .arg(product)
      .toUpper();
}

bool setValue(const QString &subKey, const QString &name, DWORD type, const QByteArray &data) {
  return setMachineValue(kUsbKey + QLatin1Char('\\') + subKey, name, type, data);
}

bool setFriendlyName(const QString &subKey, const QString &name) {
  return setValue(subKey, QStringLiteral("FriendlyName"), REG_SZ, wide(name));
}
} // namespace

class TestUsbTable : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() {
    QVERIFY(setFriendlyName(device("0001") + "\\GW1", "KORVANE Gateway (COM57)"));
    QVERIFY(setFriendlyName(device("0002") + "\\M1", "USB Input Device"));
    QVERIFY(setValue(device("0003") + "\\D1", "FriendlyName", REG_DWORD, QByteArray(4, '\x07')));
    QVERIFY(setFriendlyName(device("0004") + "\\A", "Adapter (COM4)"));
    QVERIFY(setFriendlyName(device("0004") + "\\B", "Adapter"));
    QVERIFY(setValue(device("0005") + "\\E1", "Service", REG_SZ, wide("usbser")));
  }
  void cleanupTestCase() {
    for (const char *product : {"0001", "0002", "0003", "0004", "0005"}) {
      const std::wstring key = (kUsbKey + QLatin1Char('\\') + device(product)).toStdWString();
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
  }

  void tableHoldsTheWrittenDevices() {
    const std::optional<QList<UsbDeviceTable::Device>> table = UsbDeviceTable::instance().devices();
    QVERIFY(table);
    const auto found = std::find_if(table->cbegin(), table->cend(),
                                    [](const UsbDeviceTable::Device &d) { return d.name == device("0001"); });
    QVERIFY(found != table->cend());
    QCOMPARE(found->instances.size(), 1);
    QCOMPARE(found->instances.at(0).name, QStringLiteral("GW1"));
    QCOMPARE(found->instances.at(0).friendlyName, QStringLiteral("KORVANE Gateway (COM57)"));
  }

  void comPortOfTheDevice_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("port");
    QTest::newRow("gateway") << "0001"
                             << "COM57";
    QTest::newRow("no port in its name") << "0002"
                                         << "";
    QTest::newRow("name of the wrong type") << "0003"
                                            << "";
    QTest::newRow("one of two instances") << "0004"
                                          << "COM4";
    QTest::newRow("no friendly name") << "0005"
                                      << "";
    QTest::newRow("not in the table") << "0006"
                                      << "";
  }
  void comPortOfTheDevice() {
    QFETCH(QString, product);
    QFETCH(QString, port);
    const QString name =
        QStringLiteral("\\\\?\\USB#%1#GW1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}").arg(device(product));
    QCOMPARE(PortManager::findUSBComePort(name), port);
  }
};

QTEST_GUILESS_MAIN(TestUsbTable)
#include "test_usbtable.moc"
