#include "cli/PortSpec.h"

#include "gateway/PortManager.h"
#include "platform/linux/PortMap.h"
#include "platform/UserSettings.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {
const QString kPortKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption");

std::optional<quint16> number(const QString &text) {
  bool ok = false;
  const uint n = text.toUInt(&ok);
  return ok && n >= 1 && n <= 65535 ? std::optional<quint16>(quint16(n)) : std::nullopt;
}

std::optional<quint16> mapped(PortMap &map, const QString &device) {
  for (quint16 n : map.numbers())
    if (map.resolve(n).device == device)
      return n;
  return std::nullopt;
}

// The device's COM number; one is given to it when the map has none yet.
std::optional<quint16> ofDevice(const QString &path, PortSpec::Resolved &out) {
  const QString device = QFileInfo(path).canonicalFilePath();
  if (device.isEmpty()) {
    out.error = QStringLiteral("%1: no such device").arg(path);
    return std::nullopt;
  }
  PortMap map;
  if (auto n = mapped(map, device))
    return n;
  map.refresh();
  if (auto n = mapped(map, device))
    return n;
  for (quint16 n = 3; n != 0; ++n) {
    if (map.resolve(n).state != PortMap::State::NoEntry)
      continue;
    QString error;
    if (!map.publish(n, path, &error)) {
      out.error = QStringLiteral("%1 cannot be given a COM number: %2").arg(path, error);
      return std::nullopt;
    }
    out.notes << QStringLiteral("%1 is COM%2 from now on").arg(path).arg(n);
    return n;
  }
  out.error = QStringLiteral("no free COM number for %1").arg(path);
  return std::nullopt;
}
} // namespace

PortSpec::Resolved PortSpec::resolve(const QStringList &specs) {
  Resolved out;
  static const QRegularExpression com(QStringLiteral("^COM(\\d+)$"),
                                      QRegularExpression::CaseInsensitiveOption);
  for (const QString &spec : specs) {
    std::optional<quint16> n;
    if (const auto match = com.match(spec); match.hasMatch())
      n = number(match.captured(1));
    else if (spec.startsWith(QLatin1Char('/')))
      n = ofDevice(spec, out);
    else
      n = number(spec);
    if (!n) {
      if (out.error.isEmpty())
        out.error = QStringLiteral("\"%1\" is not a port: use COMn, n or a device path").arg(spec);
      return out;
    }
    if (!out.ports.contains(*n))
      out.ports << *n;
  }
  return out;
}

PortSpec::Resolved PortSpec::stored() {
  Resolved out;
  UserSettings settings;
  const auto value = settings.value(kPortKey, QStringLiteral("PortNumber"));
  const QString choice = value && value->type == RegValue::Type::String ? value->string : QString();
  const std::optional<quint16> n = PortManager::portOfChoice(choice);
  if (n)
    out.ports << *n;
  else
    out.error =
        QStringLiteral("No port selected! Choose one with --port, or in the window program's Settings.");
  return out;
}

QList<quint16> PortSpec::present() {
  PortMap map;
  map.refresh();
  QList<quint16> ports;
  for (quint16 n : map.numbers())
    if (map.exists(n))
      ports << n;
  return ports;
}
