// The FTDI driver's latency timer of a COM port from the system's record in the registry: keys this
// test writes under HKEY_LOCAL_MACHINE, read back as the doctor reads them.
#include "platform/windows/FtdiLatencyTimer.h"
#include "tests/wine/MachineRegistry.h"

#include <QCoreApplication>
#include <QTest>

namespace {
const QString kFtdiBus = QStringLiteral("SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS");

// Devices and ports of this run's own, so that tests running at once in one Wine prefix do not meet.
QString device(const QString &serial) {
  return QStringLiteral("VID_0403+PID_6001+T%1%2A").arg(QCoreApplication::applicationPid()).arg(serial);
}
QString port(int n) {
  return QStringLiteral("COM%1").arg(1000 + (QCoreApplication::applicationPid() % 1000) * 10 + n);
}

bool setValue(const QString &device, const QString &instance, const QString &name, DWORD type,
              const QByteArray &data) {
  return setMachineValue(kFtdiBus + QLatin1Char('\\') + device + QLatin1Char('\\') + instance +
                             QStringLiteral("\\Device Parameters"),
                         name, type, data);
}

QByteArray dword(quint32 value) {
  return QByteArray(reinterpret_cast<const char *>(&value), sizeof(value));
}

bool adapter(const QString &serial, const QString &portName, DWORD type, const QByteArray &latency,
             const QString &instance = QStringLiteral("0000")) {
  if (!setValue(device(serial), instance, QStringLiteral("PortName"), REG_SZ, wide(portName)))
    return false;
  return latency.isNull() ||
         setValue(device(serial), instance, QStringLiteral("LatencyTimer"), type, latency);
}
} // namespace

class TestFtdiLatency : public QObject {
  Q_OBJECT
private slots:
  void initTestCase() {
    QVERIFY(adapter("1", port(1), REG_DWORD, dword(16)));
    QVERIFY(adapter("2", port(2).toLower(), REG_DWORD, dword(1)));
    QVERIFY(adapter("3", port(3), REG_SZ, wide("16")));
    QVERIFY(adapter("4", port(4), REG_DWORD, QByteArray()));
    QVERIFY(adapter("5", port(5), REG_DWORD, dword(4), QStringLiteral("0001")));
  }
  void cleanupTestCase() {
    for (const char *serial : {"1", "2", "3", "4", "5"}) {
      const std::wstring key = (kFtdiBus + QLatin1Char('\\') + device(serial)).toStdWString();
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
    }
  }

  void timerOfThePort_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("ms"); // -1: none
    QTest::newRow("the driver's default") << 1 << 16;
    QTest::newRow("port name in lower case") << 2 << 1;
    QTest::newRow("timer of the wrong type") << 3 << -1;
    QTest::newRow("no timer") << 4 << -1;
    QTest::newRow("another instance than 0000") << 5 << 4;
    QTest::newRow("port of no FTDI adapter") << 6 << -1;
  }
  void timerOfThePort() {
    QFETCH(int, port);
    QFETCH(int, ms);
    const std::optional<quint32> timer = ftdiLatencyTimer(::port(port));
    QCOMPARE(timer.has_value(), ms >= 0);
    if (timer)
      QCOMPARE(int(*timer), ms);
  }
};

QTEST_GUILESS_MAIN(TestFtdiLatency)
#include "test_ftdilatency.moc"
