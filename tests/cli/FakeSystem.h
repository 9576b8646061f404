#pragma once

#include "platform/linux/DeviceAccess.h"
#include "platform/linux/PortMap.h"
#include "platform/linux/ProcessList.h"
#include "platform/linux/SerialLocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <memory>

// A machine in a temporary folder: the port map's folder, /dev, /sys, /proc and a lock folder, all
// installed as the program's for the fixture's lifetime. Device nodes are plain files.
class FakeSystem {
public:
  struct Access : DeviceAccessCheck {
    QHash<QString, DeviceAccess> byNode;
    DeviceAccess check(const QString &node) const override {
      return byNode.value(node,
                          DeviceAccess{0, QStringLiteral("dialout"), QStringLiteral("tech"), true, true});
    }
  };

  FakeSystem() : m_processes(path(QStringLiteral("proc"))) {
    for (const char *folder : {"config/Quarnel/ports", "dev", "sys", "proc", "lock"})
      QDir().mkpath(path(QString::fromLatin1(folder)));
    roots = {path(QStringLiteral("config/Quarnel/ports")), path(QStringLiteral("dev")),
             path(QStringLiteral("sys"))};
    PortMap::setRootsOverride(roots);
    ProcessList::setInstance(&m_processes);
    SerialLocks::setFoldersOverride(QStringList{path(QStringLiteral("lock"))});
    DeviceAccessCheck::setInstance(&access);
  }
  ~FakeSystem() {
    DeviceAccessCheck::setInstance(nullptr);
    SerialLocks::setFoldersOverride(std::nullopt);
    ProcessList::setInstance(nullptr);
    PortMap::setRootsOverride(std::nullopt);
  }

  QString path(const QString &relative) const { return m_tmp.filePath(relative); }
  // The node's path as the port map resolves it.
  QString canonical(const QString &relative) const { return QFileInfo(path(relative)).canonicalFilePath(); }

  bool write(const QString &relative, const QByteArray &content = {}) {
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    QFile f(path(relative));
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
  }
  bool link(const QString &target, const QString &relative) {
    QDir().mkpath(QFileInfo(path(relative)).absolutePath());
    return QFile::link(target, path(relative));
  }
  // comN -> target, as a user makes it.
  bool entry(quint16 n, const QString &target) {
    return link(target, QStringLiteral("config/Quarnel/ports/com%1").arg(n));
  }

  // A USB serial adapter: its node, its stable name and its sysfs tree.
  bool usbAdapter(const QString &node, const QString &vendor, const QString &product, const QString &serial,
                  const QString &name) {
    const QString usb = QStringLiteral("sys/devices/pci0000:00/usb1/1-%1").arg(node.right(1));
    const QString tty = usb + QStringLiteral("/1-1:1.0/%1/tty/%1").arg(node);
    return write(QStringLiteral("dev/") + node) &&
           link(QStringLiteral("../../") + node, QStringLiteral("dev/serial/by-id/usb-%1_%2-if00")
                                                     .arg(name, serial)
                                                     .replace(QLatin1Char(' '), QLatin1Char('_'))) &&
           write(usb + QStringLiteral("/idVendor"), vendor.toLatin1() + '\n') &&
           write(usb + QStringLiteral("/idProduct"), product.toLatin1() + '\n') &&
           write(usb + QStringLiteral("/serial"), serial.toLatin1() + '\n') &&
           write(usb + QStringLiteral("/product"), name.toLatin1() + '\n') && QDir().mkpath(path(tty)) &&
           link(path(tty), QStringLiteral("sys/class/tty/") + node);
  }

  // The latency timer of an adapter's USB serial port, as ftdi_sio offers it: the attribute
  // latency_timer of the port, which the tty's link "device" leads to.
  bool latencyTimer(const QString &node, const QByteArray &content) {
    const QString tty = QFileInfo(path(QStringLiteral("sys/class/tty/") + node)).canonicalFilePath();
    if (tty.isEmpty() || !QFile::link(QStringLiteral("../../../") + node, tty + QStringLiteral("/device")))
      return false;
    QFile f(QDir::cleanPath(tty + QStringLiteral("/../../latency_timer")));
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
  }

  // A running process, holding the given device nodes open.
  bool process(qint64 pid, const QString &name, const QStringList &nodes = {}) {
    const QString dir = QStringLiteral("proc/%1").arg(pid);
    if (!write(dir + QStringLiteral("/comm"), name.toUtf8() + '\n') || !QDir().mkpath(path(dir + "/fd")))
      return false;
    int fd = 3;
    for (const QString &node : nodes)
      if (!link(node, dir + QStringLiteral("/fd/%1").arg(fd++)))
        return false;
    return true;
  }

  bool lock(const QString &deviceName, qint64 pid) {
    return write(QStringLiteral("lock/LCK..") + deviceName,
                 QByteArray::number(pid).rightJustified(10) + '\n');
  }

  PortMap::Roots roots;
  Access access;

private:
  QTemporaryDir m_tmp;
  ProcProcessList m_processes;
};
