#include "cli/DoctorFinding.h"

#include "station/ExitCodes.h"
#include "cli/UsbIdentityText.h"

#include <QJsonValue>

#include <algorithm>

int doctorExitCode(const QList<DoctorFinding> &findings) {
  const bool toFix =
      std::any_of(findings.begin(), findings.end(), [](const DoctorFinding &f) { return f.needsFixing(); });
  return toFix ? ExitCode::NotAllWritten : ExitCode::Written;
}

QString severityName(DoctorFinding::Severity severity) {
  using Severity = DoctorFinding::Severity;
  switch (severity) {
  case Severity::Ok:
    return QStringLiteral("ok");
  case Severity::Note:
    return QStringLiteral("note");
  case Severity::Warning:
    return QStringLiteral("warning");
  case Severity::Error:
    return QStringLiteral("error");
  }
  return QStringLiteral("error");
}

QJsonObject findingEvent(const DoctorFinding &finding) {
  return {{"event", "finding"},
          {"severity", severityName(finding.severity)},
          {"port", finding.port.isEmpty() ? QJsonValue() : QJsonValue(finding.port)},
          {"what", finding.what},
          {"fix", finding.fix.isEmpty() ? QJsonValue() : QJsonValue(finding.fix)},
          {"usb", usbIdentityJson(finding.usb)}};
}
