#include "cli/PortSpec.h"

#include "gateway/PortManager.h"
#include "platform/AdapterPorts.h"
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

// The COM number of the one adapter with that identity now; never a guess between two.
std::optional<quint16> ofAdapter(const QString &binding, PortSpec::Resolved &out) {
  QString note;
  const QList<AdapterPort> same = adaptersWithBinding(AdapterPorts::instance().present(&note), binding);
  if (!note.isEmpty())
    out.notes << note;
  if (same.size() == 1)
    return same.first().com;
  out.portError = true;
  if (same.isEmpty()) {
    out.error =
        QStringLiteral("no adapter with the identity %1 is plugged in: 'tamberlin-cli ports' lists the "
                       "adapters with their serial numbers")
            .arg(binding);
    return std::nullopt;
  }
  QStringList ports;
  for (const AdapterPort &p : same)
    ports << QStringLiteral("%1 (usb:path:%2)").arg(QStringLiteral("COM%1").arg(p.com), p.place);
  out.error =
      QStringLiteral("%1 adapters have the identity %2: %3; name the port, or the adapter by its USB path")
          .arg(same.size())
          .arg(binding, ports.join(QStringLiteral(" and ")));
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
    else if (isAdapterBinding(spec))
      n = ofAdapter(spec, out);
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
