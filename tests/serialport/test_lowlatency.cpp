// The driver's low-latency flag while a port is open: set only when it is not, put back only what
// was changed, and no trace where the driver has no such flag.
#include "platform/linux/Pty.h"
#include "serialport/linux/LowLatency.h"

#include <QFile>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <linux/serial.h>
#include <unistd.h>

namespace {
// The serial flags of one port's driver; none for a driver without them.
struct FakeDriver {
  std::optional<int> flags;
  bool refuseWrite = false;
  int writes = 0;
  int seenFd = -1;

  LowLatency::Flags access() {
    return {[this](int fd) {
              seenFd = fd;
              if (!flags)
                errno = ENOTTY;
              return flags;
            },
            [this](int fd, int value) {
              seenFd = fd;
              ++writes;
              if (refuseWrite) {
                errno = EPERM;
                return false;
              }
              flags = value;
              return true;
            }};
  }
};

constexpr int kNone = -1;
constexpr int kOther = ASYNC_SKIP_TEST | ASYNC_SPD_HI; // a user's settings that must survive
} // namespace

class TestLowLatency : public QObject {
  Q_OBJECT

private slots:
  void engageAndRelease_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<bool>("refuseWrite");
    QTest::addColumn<bool>("engaged");
    QTest::addColumn<int>("whileOpen");
    QTest::addColumn<int>("writes");
    const int low = ASYNC_LOW_LATENCY;
    QTest::newRow("flag clear: set while open, cleared at close")
        << kOther << false << true << (kOther | low) << 2;
    QTest::newRow("flag set by someone else: left as it is")
        << (kOther | low) << false << false << (kOther | low) << 0;
    QTest::newRow("driver without serial flags") << kNone << false << false << kNone << 0;
    QTest::newRow("driver refuses the flag") << kOther << true << false << kOther << 1;
  }
  void engageAndRelease() {
    QFETCH(int, before);
    QFETCH(bool, refuseWrite);
    FakeDriver driver;
    if (before != kNone)
      driver.flags = before;
    driver.refuseWrite = refuseWrite;
    LowLatency lowLatency(driver.access());

    errno = 0;
    lowLatency.engage(7);
    QCOMPARE(errno, 0);
    QTEST(lowLatency.engaged(), "engaged");
    QTEST(driver.flags.value_or(kNone), "whileOpen");
    QCOMPARE(driver.seenFd, 7);

    lowLatency.release(7);
    lowLatency.release(7); // a second close changes nothing more
    QCOMPARE(errno, 0);
    QVERIFY(!lowLatency.engaged());
    QCOMPARE(driver.flags.value_or(kNone), before);
    QTEST(driver.writes, "writes");
  }

  // A pseudo-terminal's driver has no serial flags: the system refuses, and that leaves no trace.
  void pseudoTerminalIsLeftAlone() {
    PtyMaster far;
    QVERIFY2(far.open(), qPrintable(far.errorString()));
    const int fd = ::open(QFile::encodeName(far.terminalPath()).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    LowLatency lowLatency;
    errno = 0;
    lowLatency.engage(fd);
    QCOMPARE(errno, 0);
    QVERIFY(!lowLatency.engaged());
    lowLatency.release(fd);
    QCOMPARE(errno, 0);
    ::close(fd);
  }
};

QTEST_GUILESS_MAIN(TestLowLatency)
#include "test_lowlatency.moc"
