#include "platform/linux/UsbSysfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
QString attribute(const QDir &dir, const char *name) {
  QFile f(dir.filePath(QString::fromLatin1(name)));
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(f.read(256)).trimmed();
}

// The folder of the USB device above the tty; empty when there is none.
QString usbDeviceFolderOf(const QString &device, const QString &sysRoot) {
  const QString root = QFileInfo(sysRoot).canonicalFilePath();
  const QString name = QFileInfo(device).fileName();
  if (root.isEmpty() || name.isEmpty())
    return {};
  // The class entry leads into the device tree; the USB device is the first folder above the tty
  // that carries a vendor id (the interface in between has none).
  QString path = QFileInfo(root + QStringLiteral("/class/tty/") + name).canonicalFilePath();
  while (path.startsWith(root + QLatin1Char('/'))) {
    if (QDir(path).exists(QStringLiteral("idVendor")))
      return path;
    path = QFileInfo(path).absolutePath();
  }
  return {};
}
} // namespace

std::optional<UsbIdentity> usbIdentityOf(const QString &device, const QString &sysRoot) {
  const QString folder = usbDeviceFolderOf(device, sysRoot);
  if (folder.isEmpty())
    return std::nullopt;
  const QDir dir(folder);
  return UsbIdentity{attribute(dir, "idVendor"), attribute(dir, "idProduct"), attribute(dir, "serial"),
                     attribute(dir, "product"), attribute(dir, "manufacturer")};
}

QString usbPlaceOf(const QString &device, const QString &sysRoot) {
  const QString folder = usbDeviceFolderOf(device, sysRoot);
  return folder.isEmpty() ? QString() : QFileInfo(folder).fileName();
}

std::optional<quint32> latencyTimerOf(const QString &device, const QString &sysRoot) {
  const QString name = QFileInfo(device).fileName();
  if (name.isEmpty())
    return std::nullopt;
  const QDir port(sysRoot + QStringLiteral("/class/tty/") + name + QStringLiteral("/device"));
  bool ok = false;
  const quint32 ms = attribute(port, "latency_timer").toUInt(&ok);
  return ok ? std::optional<quint32>(ms) : std::nullopt;
}
