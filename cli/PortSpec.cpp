#include "cli/PortSpec.h"

#include "gateway/PortManager.h"
#include "platform/ComPorts.h"
#include "platform/UserSettings.h"

#include <QRegularExpression>

namespace {
const QString kPortKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption");

std::optional<quint16> number(const QString &text) {
  bool ok = false;
  const uint n = text.toUInt(&ok);
  return ok && n >= 1 && n <= 65535 ? std::optional<quint16>(quint16(n)) : std::nullopt;
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
    else if (!(n = systemForm(spec, out)) && out.error.isEmpty())
      n = number(spec);
    if (!n) {
      if (out.error.isEmpty())
        out.error = QStringLiteral("\"%1\" is not a port: use %2").arg(spec, formsText());
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
  return systemComPorts();
}
