#include "station/SlotBinding.h"

#include "platform/AdapterPorts.h"

#include <QRegularExpression>

QString SlotBinding::text() const {
  return isAdapter() ? adapter : QStringLiteral("COM%1").arg(com);
}

std::optional<SlotBinding> SlotBinding::parse(const QString &text, QString *error) {
  const QString spec = text.trimmed();
  if (isAdapterBinding(spec))
    return SlotBinding{0, spec};
  static const QRegularExpression port(QStringLiteral("^(?:COM)?(\\d{1,5})$"),
                                       QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = port.match(spec);
  const uint n = match.hasMatch() ? match.captured(1).toUInt() : 0;
  if (n >= 1 && n <= 65535)
    return SlotBinding{quint16(n), {}};
  if (error)
    *error = QStringLiteral("\"%1\" is not a port: use COMn, n, usb:<serial number> or usb:path:<USB path>")
                 .arg(spec);
  return std::nullopt;
}
