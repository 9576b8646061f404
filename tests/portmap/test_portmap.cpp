// The port map on a fake device tree: stand-in nodes are plain files, sysfs is a few small files.
#include "platform/linux/PortMap.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPortMap : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> m_tmp;
  PortMap::Roots m_roots;

  QString path(const QString &relative) const { return m_tmp->filePath(relative); }
  void touch(const QString &relative, const QByteArray &content = {}) {
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile f(path(relative));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  void link(const QString &target, const QString &relative) {
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QVERIFY(QFile::link(target, path(relative)));
  }
  // A UART node with its sysfs type (0: no port fitted) and console flag.
  void uart(int k, const char *type, const char *console = "N") {
    touch(QStringLiteral("dev/ttyS%1").arg(k));
    touch(QStringLiteral("sys/class/tty/ttyS%1/type").arg(k), QByteArray(type) + "\n");
    touch(QStringLiteral("sys/class/tty/ttyS%1/console").arg(k), QByteArray(console) + "\n");
  }
  // A USB adapter node, with its stable by-id link unless id is empty.
  void usb(const QString &node, const QString &id) {
    touch(QStringLiteral("dev/") + node);
    if (!id.isEmpty())
      link(QStringLiteral("../../") + node, QStringLiteral("dev/serial/by-id/") + id);
  }
  void unplug(const QString &node, const QString &id) {
    QFile::remove(path(QStringLiteral("dev/") + node));
    if (!id.isEmpty())
      QFile::remove(path(QStringLiteral("dev/serial/by-id/") + id));
  }
  QString targetOf(PortMap &map, quint16 n) { return map.resolve(n).target; }

private slots:
  void init() {
    m_tmp = std::make_unique<QTemporaryDir>();
    m_roots = {path(QStringLiteral("config/Quarnel/ports")), path(QStringLiteral("dev")),
               path(QStringLiteral("sys"))};
    QDir().mkpath(m_roots.dev);
  }

  void rootsFollowTheEnvironment() {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/cfg");
    QCOMPARE(PortMap::currentRoots().folder, QStringLiteral("/somewhere/cfg/Quarnel/ports"));
    qputenv("XDG_CONFIG_HOME", "");
    QCOMPARE(PortMap::currentRoots().folder, QDir::homePath() + QStringLiteral("/.config/Quarnel/ports"));
    PortMap::setRootsOverride(m_roots);
    QCOMPARE(PortMap().folder(), m_roots.folder);
    PortMap::setRootsOverride(std::nullopt);
    qputenv("XDG_CONFIG_HOME", saved);
  }

  void resolveTellsEntryStates() {
    PortMap map(m_roots);
    usb(QStringLiteral("ttyUSB0"), QStringLiteral("usb-Quarnel_KORVANE_42-if00"));
    QVERIFY(map.publish(5, path(QStringLiteral("dev/serial/by-id/usb-Quarnel_KORVANE_42-if00"))));
    QVERIFY(map.publish(6, path(QStringLiteral("dev/ttyUSB7"))));

    QCOMPARE(map.resolve(4).state, PortMap::State::NoEntry);
    QVERIFY(!map.exists(4));
    QCOMPARE(map.resolve(6).state, PortMap::State::Dangling);
    QVERIFY(!map.exists(6));
    const auto five = map.resolve(5);
    QCOMPARE(five.state, PortMap::State::Present);
    QCOMPARE(five.device, QFileInfo(path(QStringLiteral("dev/ttyUSB0"))).canonicalFilePath());
    QVERIFY(map.exists(5));
    QVERIFY(!map.exists(0));
    QCOMPARE(map.numbers(), (QList<quint16>{5, 6}));
  }

  void publishNeverReplacesAndUnpublishOnlyItsOwn() {
    PortMap map(m_roots);
    touch(QStringLiteral("dev/pts/3"));
    QString error;
    QVERIFY(map.publish(9, path(QStringLiteral("dev/pts/3")), &error));
    QVERIFY(!map.publish(9, path(QStringLiteral("dev/pts/4")), &error));
    QVERIFY(error.contains(QStringLiteral("already exists")));
    QVERIFY(!map.publish(0, path(QStringLiteral("dev/pts/4")), &error));
    QVERIFY(!map.unpublish(9, path(QStringLiteral("dev/pts/4"))));
    QVERIFY(map.exists(9));
    QVERIFY(map.unpublish(9, path(QStringLiteral("dev/pts/3"))));
    QCOMPARE(map.resolve(9).state, PortMap::State::NoEntry);
  }

  void automaticEntries() {
    uart(0, "4");
    uart(1, "0");      // driver slot without a port
    uart(2, "4", "Y"); // the kernel console
    uart(3, "4");
    usb(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R_A1-if00-port0"));
    usb(QStringLiteral("ttyACM0"), QStringLiteral("usb-Quarnel_KORVANE_42-if00"));
    usb(QStringLiteral("ttyUSB1"), QString());
    PortMap map(m_roots);
    // A user's entry: its number is taken, and its device gets no second entry.
    usb(QStringLiteral("ttyUSB2"), QStringLiteral("usb-Prolific_PL2303-if00-port0"));
    QVERIFY(map.publish(3, path(QStringLiteral("dev/ttyUSB2"))));

    const auto result = map.refresh();
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.added, (QList<quint16>{1, 2, 4, 5, 6}));
    QCOMPARE(targetOf(map, 1), path(QStringLiteral("dev/ttyS0")));
    QCOMPARE(targetOf(map, 2), path(QStringLiteral("dev/ttyS3")));
    QCOMPARE(targetOf(map, 4), path(QStringLiteral("dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0")));
    QCOMPARE(targetOf(map, 5), path(QStringLiteral("dev/serial/by-id/usb-Quarnel_KORVANE_42-if00")));
    QCOMPARE(targetOf(map, 6), path(QStringLiteral("dev/ttyUSB1")));
    QCOMPARE(targetOf(map, 3), path(QStringLiteral("dev/ttyUSB2")));
    QVERIFY(map.isAutomatic(4));
    QVERIFY(!map.isAutomatic(3));

    // Nothing new: nothing changes.
    QVERIFY(map.refresh().added.isEmpty());
    QCOMPARE(map.numbers(), (QList<quint16>{1, 2, 3, 4, 5, 6}));
  }

  // An adapter keeps its number while unplugged (the entry dangles); a new one takes the
  // lowest free number from 3; the old one comes back on its own number.
  void numbersStayWithTheirAdapters() {
    PortMap map(m_roots);
    const QString gateway = QStringLiteral("usb-Quarnel_KORVANE_42-if00");
    usb(QStringLiteral("ttyACM0"), gateway);
    QCOMPARE(map.refresh().added, QList<quint16>{3});
    unplug(QStringLiteral("ttyACM0"), gateway);
    QVERIFY(!map.exists(3));
    QCOMPARE(map.resolve(3).state, PortMap::State::Dangling);

    usb(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R_A1-if00-port0"));
    QCOMPARE(map.refresh().added, QList<quint16>{4});
    // Replugged as another node name: the stable name still leads to COM3.
    usb(QStringLiteral("ttyACM1"), gateway);
    QVERIFY(map.refresh().added.isEmpty());
    QVERIFY(map.exists(3));
    QCOMPARE(map.resolve(3).device, QFileInfo(path(QStringLiteral("dev/ttyACM1"))).canonicalFilePath());
  }

  void userChangesAreNeverUndone() {
    PortMap map(m_roots);
    usb(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R_A1-if00-port0"));
    QCOMPARE(map.refresh().added, QList<quint16>{3});
    // The user re-points COM3 elsewhere and removes nothing else.
    QVERIFY(QFile::remove(map.entryPath(3)));
    touch(QStringLiteral("dev/ttyS9"));
    QVERIFY(QFile::link(path(QStringLiteral("dev/ttyS9")), map.entryPath(3)));
    QVERIFY(!map.isAutomatic(3));
    const auto result = map.refresh();
    // The adapter, now without an entry, gets a new one; COM3 stays as the user left it.
    QCOMPARE(result.added, QList<quint16>{4});
    QCOMPARE(targetOf(map, 3), path(QStringLiteral("dev/ttyS9")));
    QVERIFY(!map.isAutomatic(3));
  }

  void unwritableFolderIsReportedNotFatal() {
    touch(QStringLiteral("blocker"));
    PortMap::Roots roots = m_roots;
    roots.folder = path(QStringLiteral("blocker/Quarnel/ports"));
    PortMap map(roots);
    usb(QStringLiteral("ttyUSB0"), QStringLiteral("usb-FTDI_FT232R_A1-if00-port0"));
    const auto result = map.refresh();
    QVERIFY(result.added.isEmpty());
    QVERIFY(result.error.contains(roots.folder));
    QString error;
    QVERIFY(!map.publish(3, path(QStringLiteral("dev/ttyUSB0")), &error));
    QVERIFY(error.contains(roots.folder));
    QCOMPARE(map.resolve(3).state, PortMap::State::NoEntry);
    QVERIFY(map.numbers().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestPortMap)
#include "test_portmap.moc"
