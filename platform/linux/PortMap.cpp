#include "platform/linux/PortMap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <algorithm>

namespace {
std::optional<PortMap::Roots> g_override;

const QString kAutomaticFile = QStringLiteral(".automatic");

QString entryName(quint16 n) {
  return QStringLiteral("com%1").arg(n);
}

// "com7" -> 7; anything else (com0, com07, COM7, com7x) -> 0.
quint16 numberOf(const QString &name) {
  static const QRegularExpression re(QStringLiteral("^com([1-9][0-9]{0,4})$"));
  const auto m = re.match(name);
  if (!m.hasMatch())
    return 0;
  const uint n = m.captured(1).toUInt();
  return n <= 65535 ? quint16(n) : 0;
}

// Numeric suffix of a device name (ttyS10 -> 10), for a natural order.
int suffixNumber(const QString &name) {
  int i = int(name.size());
  while (i > 0 && name.at(i - 1).isDigit())
    --i;
  return name.mid(i).toInt();
}

QString readSmallFile(const QString &path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly))
    return {};
  return QString::fromUtf8(f.read(256)).trimmed();
}

// Onboard UARTs of the device tree (ttyS*), in natural order.
QStringList uartNames(const QDir &dev) {
  QStringList names = dev.entryList({QStringLiteral("ttyS*")}, QDir::System | QDir::Files);
  std::sort(names.begin(), names.end(),
            [](const QString &a, const QString &b) { return suffixNumber(a) < suffixNumber(b); });
  return names;
}

// USB serial adapters of the device tree (ttyACM*, then ttyUSB*), in natural order.
QStringList usbSerialNames(const QDir &dev) {
  QStringList names =
      dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")}, QDir::System | QDir::Files);
  std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
    return a.left(6) != b.left(6) ? a < b : suffixNumber(a) < suffixNumber(b);
  });
  return names;
}

// What sysfs says of an onboard UART: the 8250 driver registers ttyS0..31 whether or not a port
// is fitted; only a known port type means hardware. The kernel console is not a free port.
enum class Uart { Fitted, Empty, Console, Unknown };
Uart uartOf(const QString &sys, const QString &name) {
  const QString sysDir = sys + QStringLiteral("/class/tty/") + name;
  if (readSmallFile(sysDir + QStringLiteral("/console")) == QStringLiteral("Y"))
    return Uart::Console;
  const QString type = readSmallFile(sysDir + QStringLiteral("/type"));
  if (type.isEmpty())
    return Uart::Unknown;
  return type == QStringLiteral("0") ? Uart::Empty : Uart::Fitted;
}

// What a link in the ports folder names: its own text, made absolute against the folder.
QString linkTarget(const QFileInfo &fi) {
  return fi.isSymLink() ? fi.symLinkTarget() : QString();
}
} // namespace

PortMap::Roots PortMap::currentRoots() {
  if (g_override)
    return *g_override;
  const auto env = QProcessEnvironment::systemEnvironment();
  QString config = env.value(QStringLiteral("XDG_CONFIG_HOME"));
  if (config.isEmpty() || QDir::isRelativePath(config))
    config = env.value(QStringLiteral("HOME")) + QStringLiteral("/.config");
  return {config + QStringLiteral("/Quarnel/ports"), QStringLiteral("/dev"), QStringLiteral("/sys")};
}

void PortMap::setRootsOverride(const std::optional<Roots> &roots) {
  g_override = roots;
}

PortMap::PortMap() : m_roots(currentRoots()) {}

PortMap::PortMap(Roots roots) : m_roots(std::move(roots)) {}

QString PortMap::entryPath(quint16 n) const {
  return m_roots.folder + QLatin1Char('/') + entryName(n);
}

PortMap::Resolved PortMap::resolve(quint16 n) const {
  Resolved r;
  r.entry = entryPath(n);
  if (n == 0)
    return r;
  const QFileInfo fi(r.entry);
  if (!fi.isSymLink() && !fi.exists())
    return r;
  r.target = linkTarget(fi);
  const QString device = fi.canonicalFilePath();
  if (device.isEmpty()) {
    r.state = State::Dangling;
    return r;
  }
  r.state = State::Present;
  r.device = device;
  return r;
}

QList<quint16> PortMap::numbers() const {
  QList<quint16> out;
  const QDir dir(m_roots.folder);
  for (const QString &name :
       dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
    if (const quint16 n = numberOf(name))
      out << n;
  }
  std::sort(out.begin(), out.end());
  return out;
}

bool PortMap::isAutomatic(quint16 n) const {
  const QString name = entryName(n);
  const auto list = readAutomatic();
  return list.contains(name) && linkTarget(QFileInfo(entryPath(n))) == list.value(name);
}

bool PortMap::ensureFolder(QString *error) const {
  if (QDir().mkpath(m_roots.folder) && QFileInfo(m_roots.folder).isDir())
    return true;
  if (error)
    *error = QStringLiteral("cannot create the port folder %1").arg(m_roots.folder);
  return false;
}

bool PortMap::publish(quint16 n, const QString &device, QString *error) {
  if (n == 0) {
    if (error)
      *error = QStringLiteral("port number 0 names no port");
    return false;
  }
  if (!ensureFolder(error))
    return false;
  const QString entry = entryPath(n);
  const QFileInfo fi(entry);
  if (fi.isSymLink() || fi.exists()) {
    if (error)
      *error = QStringLiteral("%1 already exists (-> %2)").arg(entry, linkTarget(fi));
    return false;
  }
  if (!QFile::link(device, entry)) {
    if (error)
      *error =
          QStringLiteral("cannot create %1 in %2 (folder not writable?)").arg(entryName(n), m_roots.folder);
    return false;
  }
  return true;
}

bool PortMap::unpublish(quint16 n, const QString &device) {
  const QString entry = entryPath(n);
  const QFileInfo fi(entry);
  if (!fi.isSymLink() || fi.symLinkTarget() != QFileInfo(device).absoluteFilePath())
    return false;
  return QFile::remove(entry);
}

QMap<QString, QString> PortMap::readAutomatic() const {
  QMap<QString, QString> list;
  QFile f(m_roots.folder + QLatin1Char('/') + kAutomaticFile);
  if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
    return list;
  while (!f.atEnd()) {
    const QString line = QString::fromUtf8(f.readLine()).trimmed();
    const int tab = int(line.indexOf(QLatin1Char('\t')));
    if (tab > 0 && numberOf(line.left(tab)))
      list.insert(line.left(tab), line.mid(tab + 1));
  }
  return list;
}

bool PortMap::writeAutomatic(const QMap<QString, QString> &list, QString *error) const {
  QSaveFile f(m_roots.folder + QLatin1Char('/') + kAutomaticFile);
  if (f.open(QIODevice::WriteOnly | QIODevice::Text)) {
    for (auto it = list.begin(); it != list.end(); ++it)
      f.write((it.key() + QLatin1Char('\t') + it.value() + QLatin1Char('\n')).toUtf8());
    if (f.commit())
      return true;
  }
  if (error)
    *error = QStringLiteral("cannot write %1 in %2").arg(kAutomaticFile, m_roots.folder);
  return false;
}

PortMap::RefreshResult PortMap::refresh() {
  RefreshResult result;
  const QDir dev(m_roots.dev);

  // Targets that some entry already reaches, as written and as resolved.
  QSet<QString> mapped;
  QSet<quint16> taken;
  for (quint16 n : numbers()) {
    taken.insert(n);
    const QFileInfo fi(entryPath(n));
    mapped.insert(linkTarget(fi));
    const QString canonical = fi.canonicalFilePath();
    if (!canonical.isEmpty())
      mapped.insert(canonical);
  }

  struct Candidate {
    QString target;
    quint16 from;
  };
  QList<Candidate> wanted;

  for (const QString &name : uartNames(dev))
    if (uartOf(m_roots.sys, name) == Uart::Fitted)
      wanted << Candidate{dev.absoluteFilePath(name), 1};

  // USB adapters, by their stable names first.
  QSet<QString> usbNodesWithId;
  const QDir byId(m_roots.dev + QStringLiteral("/serial/by-id"));
  QStringList ids = byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString &id : ids) {
    const QFileInfo fi(byId.absoluteFilePath(id));
    const QString node = fi.canonicalFilePath();
    const QString base = QFileInfo(node).fileName();
    if (node.isEmpty() ||
        !(base.startsWith(QStringLiteral("ttyUSB")) || base.startsWith(QStringLiteral("ttyACM"))))
      continue;
    usbNodesWithId.insert(node);
    if (mapped.contains(node))
      continue; // a user's entry reaches the adapter by its node name
    wanted << Candidate{fi.absoluteFilePath(), 3};
  }
  for (const QString &name : usbSerialNames(dev)) {
    const QString node = QFileInfo(dev.absoluteFilePath(name)).canonicalFilePath();
    if (!usbNodesWithId.contains(node))
      wanted << Candidate{dev.absoluteFilePath(name), 3};
  }

  QMap<QString, QString> automatic = readAutomatic();
  // Records of entries that are gone or that someone re-pointed are no longer ours.
  bool listChanged = false;
  for (auto it = automatic.begin(); it != automatic.end();) {
    if (linkTarget(QFileInfo(m_roots.folder + QLatin1Char('/') + it.key())) != it.value()) {
      it = automatic.erase(it);
      listChanged = true;
    } else {
      ++it;
    }
  }

  for (const Candidate &c : wanted) {
    if (mapped.contains(c.target) || mapped.contains(QFileInfo(c.target).canonicalFilePath()))
      continue;
    if (!ensureFolder(&result.error))
      return result;
    quint16 n = c.from;
    while (taken.contains(n))
      ++n;
    if (!QFile::link(c.target, entryPath(n))) {
      result.error =
          QStringLiteral("cannot create %1 in %2 (folder not writable?)").arg(entryName(n), m_roots.folder);
      break;
    }
    taken.insert(n);
    mapped.insert(c.target);
    automatic.insert(entryName(n), linkTarget(QFileInfo(entryPath(n))));
    result.added << n;
    listChanged = true;
  }
  if (listChanged && QFileInfo(m_roots.folder).isDir()) {
    QString error;
    if (!writeAutomatic(automatic, &error) && result.error.isEmpty())
      result.error = error;
  }
  return result;
}

QStringList PortMap::serialDevices() const {
  const QDir dev(m_roots.dev);
  QStringList out;
  for (const QString &name : uartNames(dev)) {
    const Uart uart = uartOf(m_roots.sys, name);
    if (uart == Uart::Fitted || uart == Uart::Unknown)
      out << dev.absoluteFilePath(name);
  }
  for (const QString &name : usbSerialNames(dev))
    out << dev.absoluteFilePath(name);
  return out;
}
