// TSerialPort on real pseudo-terminals, published in a private port map. Waits are real but end
// as soon as the awaited bytes or events are there.
#include "platform/Clock.h"
#include "platform/linux/PortMap.h"
#include "platform/linux/Pty.h"
#include "serialport/TSerialPort.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
template <class Pred> bool waitFor(Pred done, int limitMs = 2000) {
  Clock &clock = Clock::instance();
  const quint64 deadline = clock.nowMs() + quint64(limitMs);
  while (!done() && clock.nowMs() < deadline)
    clock.waitForEvents(qMin(deadline, clock.nowMs() + 5));
  return done();
}

// Lets real time pass with the event loop running (for "nothing more happens" checks).
void settle(int ms) {
  waitFor([] { return false; }, ms);
}

QByteArray readFar(PtyMaster &far, int n, int limitMs = 2000) {
  QByteArray got;
  waitFor(
      [&] {
        got += far.read();
        return got.size() >= n;
      },
      limitMs);
  return got;
}

// A port that records its events.
struct Port {
  TSerialPort port;
  QList<qint32> errors;
  QList<quint16> counts;
  QByteArray received;
  int readLimit = -1; // bytes a handler reads per event; -1: all

  Port() {
    port.SetPromptForPort(false);
    port.SetAutoOpen(false);
    port.SetOnErrorEvent([this](TSerialPort *, qint32 code) { errors << code; });
    port.SetOnTriggerAvail([this](TSerialPort *sender, quint16 count) {
      counts << count;
      QByteArray block;
      const quint16 take = readLimit < 0 ? count : quint16(qMin<int>(readLimit, count));
      if (sender->GetBlock(block, take))
        received += block;
    });
  }
};
// While it lives, this process obeys file permissions even as root: it drops the capabilities
// that bypass them from its effective set (and puts them back at the end).
class FilePermissionsApply {
public:
  FilePermissionsApply() {
    if (geteuid() != 0)
      return;
    if (syscall(SYS_capget, &m_header, m_saved) != 0)
      return;
    __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    m_dropped = syscall(SYS_capset, &m_header, reduced) == 0;
  }
  ~FilePermissionsApply() {
    if (m_dropped)
      syscall(SYS_capset, &m_header, m_saved);
  }
  bool ok() const { return geteuid() != 0 || m_dropped; }

private:
  __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct m_saved[2] = {};
  bool m_dropped = false;
};
} // namespace

class TestSerialPortPty : public QObject {
  Q_OBJECT

  QTemporaryDir m_tmp;
  PortMap::Roots m_roots;

  // A fresh pseudo-terminal published as COM n.
  std::unique_ptr<PtyMaster> publish(quint16 n) {
    auto far = std::make_unique<PtyMaster>();
    if (!far->open())
      return nullptr;
    PortMap map;
    QFile::remove(map.entryPath(n));
    if (!map.publish(n, far->terminalPath()))
      return nullptr;
    return far;
  }

private slots:
  void initTestCase() {
    QVERIFY(m_tmp.isValid());
    m_roots = {m_tmp.filePath(QStringLiteral("ports")), m_tmp.filePath(QStringLiteral("dev")),
               m_tmp.filePath(QStringLiteral("sys"))};
    QDir().mkpath(m_roots.dev);
    PortMap::setRootsOverride(m_roots);
  }
  void cleanupTestCase() { PortMap::setRootsOverride(std::nullopt); }

  void bytesBothWays() {
    auto far = publish(21);
    QVERIFY(far);
    Port p;
    p.port.SetComNumber(21);
    p.port.SetBaud(9600);
    p.port.SetRTS(false);
    p.port.SetOpen(true);
    QVERIFY2(p.errors.isEmpty(), qPrintable(p.port.LastErrorText()));
    QVERIFY(p.port.Open());
    QVERIFY(ProbeComPort(21));

    // Every byte value passes unchanged in both directions.
    QByteArray all;
    for (int i = 0; i < 256; ++i)
      all.append(char(i));
    p.port.PutString(all);
    QCOMPARE(readFar(*far, all.size()), all);
    QCOMPARE(far->write(all), qint64(all.size()));
    QVERIFY(waitFor([&] { return p.received.size() >= all.size(); }));
    QCOMPARE(p.received, all);
    QCOMPARE(p.port.OutBuffUsed(), quint16(0));

    p.port.SetOpen(false);
    QVERIFY(!p.port.Open());
    QVERIFY(p.errors.isEmpty());
    // The line is free again: a second component can have it.
    Port q;
    q.port.SetComNumber(21);
    q.port.SetOpen(true);
    QVERIFY(q.port.Open());
  }

  void openFailures_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("textPart");
    QTest::newRow("no entry") << "none" << SerialError::BadId << "not in the port map";
    QTest::newRow("dangling entry") << "dangling" << SerialError::BadId << "does not exist";
    QTest::newRow("target not a terminal") << "file" << SerialError::NotATerminal << "not a serial device";
    QTest::newRow("held by another program") << "held" << SerialError::AlreadyOpen << "COM22";
  }
  void openFailures() {
    QFETCH(QString, setup);
    QFETCH(qint32, code);
    QFETCH(QString, textPart);
    const quint16 n = 22;
    PortMap map;
    QFile::remove(map.entryPath(n));
    std::unique_ptr<PtyMaster> far;
    Port holder;
    if (setup == QLatin1String("dangling")) {
      QVERIFY(map.publish(n, m_tmp.filePath(QStringLiteral("dev/ttyUSB9"))));
    } else if (setup == QLatin1String("file")) {
      const QString file = m_tmp.filePath(QStringLiteral("plain-file"));
      QFile f(file);
      QVERIFY(f.open(QIODevice::WriteOnly));
      QVERIFY(map.publish(n, file));
    } else if (setup == QLatin1String("held")) {
      far = publish(n);
      QVERIFY(far);
      holder.port.SetComNumber(n);
      holder.port.SetOpen(true);
      QVERIFY(holder.port.Open());
    }

    Port p;
    p.port.SetComNumber(n);
    p.port.SetOpen(true);
    QCOMPARE(p.errors, QList<qint32>{code});
    QVERIFY(!p.port.Open());
    QVERIFY2(p.port.LastErrorText().contains(textPart), qPrintable(p.port.LastErrorText()));
    // A port that another program holds still exists; the others do not, or lead nowhere useful.
    QCOMPARE(ProbeComPort(n), setup == QLatin1String("held") || setup == QLatin1String("file"));
    if (setup == QLatin1String("held")) {
      // The holder is not disturbed.
      holder.port.PutString("still mine");
      QCOMPARE(readFar(*far, 10), QByteArray("still mine"));
    }

    // Without an error handler the same failure raises the exception of its code.
    TSerialPort bare;
    bare.SetComNumber(n);
    try {
      bare.SetOpen(true);
      QFAIL("no exception");
    } catch (const ESerialPortException &e) {
      QCOMPARE(e.code(), code);
      QCOMPARE(e.message(), TSerialPort::errorText(code));
    }
    QVERIFY(!bare.Open());
  }

  // A device node the user may not open is not "in use": it gets its own code and a text that
  // says how to get access.
  void permissionDeniedSaysHowToFixIt() {
    auto far = publish(27);
    QVERIFY(far);
    const QByteArray node = QFile::encodeName(far->terminalPath());
    QCOMPARE(::chmod(node.constData(), 0), 0);
    Port p;
    p.port.SetComNumber(27);
    {
      FilePermissionsApply permissions;
      QVERIFY(permissions.ok());
      p.port.SetOpen(true);
    }
    QCOMPARE(p.errors, QList<qint32>{SerialError::PermissionDenied});
    QVERIFY(!p.port.Open());
    QVERIFY(ProbeComPort(27));
    QVERIFY2(
        p.port.LastErrorText().contains(QStringLiteral("sudo usermod -aG dialout $USER, then log in again")),
        qPrintable(p.port.LastErrorText()));
    QVERIFY(p.port.LastErrorText().contains(far->terminalPath()));
    QVERIFY(TSerialPort::errorHint(SerialError::PermissionDenied).contains(QStringLiteral("dialout")));
    QCOMPARE(TSerialPort::errorText(SerialError::PermissionDenied), QStringLiteral("Permission denied"));
  }

  void vanishingFarEndReportsOneReadFailure() {
    auto far = publish(23);
    QVERIFY(far);
    Port p;
    p.port.SetComNumber(23);
    p.port.SetOpen(true);
    QVERIFY(p.port.Open());
    far->close();
    QVERIFY(waitFor([&] { return !p.errors.isEmpty(); }));
    settle(150);
    QCOMPARE(p.errors, QList<qint32>{SerialError::DeviceRead});
    // Still reads open until the program closes it; writes go nowhere and do not pile up.
    QVERIFY(p.port.Open());
    p.port.PutString("lost");
    QCOMPARE(p.port.OutBuffUsed(), quint16(0));
    settle(20);
    QCOMPARE(p.errors.size(), 1);
    p.port.SetOpen(false);
    QVERIFY(!p.port.Open());
  }

  // A hang-up is reported as a hang-up, not with whatever a refused modem-line call (DTR and RTS on
  // a pseudo-terminal) left behind in the system's last error.
  void hangUpIsReportedAsSuch() {
    auto far = publish(28);
    QVERIFY(far);
    Port p;
    p.port.SetComNumber(28);
    p.port.SetDTR(true);
    p.port.SetRTS(true);
    p.port.SetOpen(true);
    QVERIFY(p.port.Open());
    p.port.SetDTR(false);
    QVERIFY(p.errors.isEmpty());
    far->close();
    QVERIFY(waitFor([&] { return !p.errors.isEmpty(); }));
    QCOMPARE(p.errors, QList<qint32>{SerialError::DeviceRead});
    const QString text = p.port.LastErrorText();
    QVERIFY2(!text.contains(QStringLiteral("ioctl")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("hung up")), qPrintable(text));
    p.port.SetOpen(false);
  }

  void comNumberChangeWhileOpenMovesToTheNewPort() {
    auto first = publish(24);
    auto second = publish(25);
    QVERIFY(first && second);
    Port p;
    p.port.SetComNumber(24);
    p.port.SetOpen(true);
    QVERIFY(p.port.Open());
    p.port.SetComNumber(25);
    QVERIFY(p.port.Open());
    QCOMPARE(p.port.ComNumber(), quint16(25));
    p.port.PutString("to 25");
    QCOMPARE(readFar(*second, 5), QByteArray("to 25"));
    QVERIFY(!first->terminalOpen());
    QVERIFY(p.errors.isEmpty());
  }

  // A handler that reads only part of what arrived hears of the rest with the next bytes; more
  // than the receive buffer holds still arrives complete and in order.
  void receiveEventRules() {
    auto far = publish(26);
    QVERIFY(far);
    Port p;
    p.readLimit = 2;
    p.port.SetComNumber(26);
    p.port.SetOpen(true);
    far->write("0123456789");
    QVERIFY(waitFor([&] { return !p.counts.isEmpty(); }));
    settle(120); // more than two dispatch intervals: no event without new bytes
    QCOMPARE(p.received, QByteArray("01"));
    QCOMPARE(p.counts.size(), 1);
    const int unread = 10 - 2;
    far->write("x");
    QVERIFY(waitFor([&] { return p.counts.size() == 2; }));
    QCOMPARE(int(p.counts.last()), unread + 1);

    p.readLimit = -1;
    far->write("y");
    QVERIFY(waitFor([&] { return p.received.endsWith('y'); }));
    p.received.clear();
    p.counts.clear();
    QByteArray big;
    for (int i = 0; i < 20000; ++i)
      big.append(char('a' + i % 26));
    qint64 sent = 0;
    QVERIFY(waitFor(
        [&] {
          if (sent < big.size())
            sent += qMax<qint64>(0, far->write(big.mid(sent)));
          return p.received.size() >= big.size();
        },
        5000));
    QCOMPARE(p.received, big);
    for (quint16 c : std::as_const(p.counts))
      QVERIFY(c >= 1 && c <= TSerialPort::ReceiveBufferSize);
  }
};

QTEST_GUILESS_MAIN(TestSerialPortPty)
#include "test_serialport_pty.moc"
