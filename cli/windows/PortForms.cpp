// Ports on the Windows command line may also be given by their device name, \\.\COMn.
#include "cli/PortSpec.h"

#include <QRegularExpression>

std::optional<quint16> PortSpec::systemForm(const QString &spec, Resolved &) {
  static const QRegularExpression device(QStringLiteral(R"(^\\\\\.\\COM(\d+)$)"),
                                         QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = device.match(spec);
  bool ok = false;
  const uint n = match.hasMatch() ? match.captured(1).toUInt(&ok) : 0;
  return ok && n >= 1 && n <= 65535 ? std::optional<quint16>(quint16(n)) : std::nullopt;
}

QString PortSpec::formsText() {
  return QStringLiteral("COMn, n, usb:<serial>, usb:path:<instance> or \\\\.\\COMn");
}

QString PortSpec::absentText(const QString &port) {
  return QStringLiteral("Port %1 is absent: the system does not list it (adapter unplugged, or its driver "
                        "missing?). 'tamberlin-cli ports' lists the ports.")
      .arg(port);
}
