// A serial lock file left behind by a program that has ended does not keep the port from being
// opened; only a live holder makes it "in use". On a pseudo-terminal published in a private map.
#include "platform/linux/PortMap.h"
#include "platform/linux/Pty.h"
#include "serialport/linux/DeviceNodeLock.h"
#include "serialport/TSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A lock file naming pid, as the serial library, UUCP tools or old binary lockers write it.
QByteArray lockText(const QString &format, pid_t pid) {
  if (format == QLatin1String("qt"))
    return QByteArray::number(pid) + "\ntamberlin\n" + QSysInfo::machineHostName().toLocal8Bit() + "\n";
  if (format == QLatin1String("uucp"))
    return QByteArray::number(pid).rightJustified(10, ' ') + "\n";
  const qint32 binary = pid;
  return QByteArray(reinterpret_cast<const char *>(&binary), 4);
}

// A process in the state asked for: "ended" (gone and reaped), "zombie" (ended, not reaped),
// "live" (waiting for a signal), "gone with a line feed" (no process, a pid with a 0x0a byte).
class Owner {
public:
  explicit Owner(const QString &state) {
    if (state == QLatin1String("gone with a line feed")) {
      for (m_pid = 0x0a0a; ::kill(m_pid, 0) == 0 || errno != ESRCH; m_pid += 0x10000) {
      }
      m_reaped = true;
      return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
      if (state == QLatin1String("live"))
        ::pause();
      ::_exit(0);
    }
    if (state == QLatin1String("ended")) {
      ::waitpid(m_pid, nullptr, 0);
      m_reaped = true;
    } else if (state == QLatin1String("zombie")) {
      // Ended, but its parent has not asked yet.
      while (::waitid(P_PID, id_t(m_pid), nullptr, WEXITED | WNOWAIT | WNOHANG) == 0 && !isZombie())
        QTest::qSleep(1);
    }
  }
  ~Owner() {
    if (!m_reaped) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  pid_t pid() const { return m_pid; }

private:
  bool isZombie() const {
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(m_pid));
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
  }
  pid_t m_pid = -1;
  bool m_reaped = false;
};

} // namespace

class TestSerialPortStaleLock : public QObject {
  Q_OBJECT
  QTemporaryDir m_tmp;

private slots:
  void initTestCase() {
    QVERIFY(m_tmp.isValid());
    const PortMap::Roots roots{m_tmp.filePath(QStringLiteral("ports")), m_tmp.filePath(QStringLiteral("dev")),
                               m_tmp.filePath(QStringLiteral("sys"))};
    QDir().mkpath(roots.dev);
    PortMap::setRootsOverride(roots);
  }
  void cleanupTestCase() { PortMap::setRootsOverride(std::nullopt); }

  void lockOfAnEndedProgramIsTakenOver_data() {
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("opens");
    QTest::newRow("serial library's lock, owner ended") << "ended"
                                                        << "qt" << true;
    QTest::newRow("UUCP lock, owner ended") << "ended"
                                            << "uucp" << true;
    QTest::newRow("binary lock, owner ended") << "ended"
                                              << "binary" << true;
    QTest::newRow("binary lock, owner a zombie") << "zombie"
                                                 << "binary" << true;
    QTest::newRow("binary lock, a line feed in the pid") << "gone with a line feed"
                                                         << "binary" << true;
    QTest::newRow("UUCP lock, owner alive") << "live"
                                            << "uucp" << false;
    QTest::newRow("binary lock, owner alive") << "live"
                                              << "binary" << false;
  }
  void lockOfAnEndedProgramIsTakenOver() {
    QFETCH(QString, owner);
    QFETCH(QString, format);
    QFETCH(bool, opens);
    PtyMaster far;
    QVERIFY(far.open());
    PortMap map;
    const quint16 n = 31;
    QFile::remove(map.entryPath(n));
    QVERIFY(map.publish(n, far.terminalPath()));
    const QString lock = serialLockFile(far.terminalPath());
    QVERIFY(!lock.isEmpty());
    Owner holder(owner);
    {
      QFile f(lock);
      QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(lock));
      f.write(lockText(format, holder.pid()));
    }
    const QByteArray written = readAll(lock);

    TSerialPort port;
    port.SetPromptForPort(false);
    port.SetAutoOpen(false);
    QList<qint32> errors;
    port.SetOnErrorEvent([&](TSerialPort *, qint32 code) { errors << code; });
    port.SetComNumber(n);
    port.SetOpen(true);
    QCOMPARE(port.Open(), opens);
    if (opens) {
      QVERIFY(errors.isEmpty());
      // The lock is this process's now.
      QCOMPARE(readAll(lock).split('\n').value(0).trimmed().toLongLong(),
               qlonglong(QCoreApplication::applicationPid()));
      port.SetOpen(false);
    } else {
      QCOMPARE(errors, QList<qint32>{SerialError::AlreadyOpen});
      QCOMPARE(readAll(lock), written);
      QFile::remove(lock);
    }
    QVERIFY(!QFileInfo::exists(lock));
  }
};

QTEST_GUILESS_MAIN(TestSerialPortStaleLock)
#include "test_serialport_stalelock.moc"
