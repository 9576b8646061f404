#pragma once

#include "platform/UsbIdentity.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// One verdict of the doctor: what it found and how to fix it.
struct DoctorFinding {
  // A note tells what is off without anything being broken (a missing session bus over ssh).
  enum class Severity { Ok, Note, Warning, Error };
  Severity severity = Severity::Ok;
  QString port; // COMn when the finding is about one port
  QString what;
  QString fix; // empty for Ok

  // The adapter of the port, when it is on USB.
  std::optional<UsbIdentity> usb = std::nullopt;

  bool needsFixing() const { return severity == Severity::Warning || severity == Severity::Error; }
};

// Every finding of this system's checks (cli/linux, cli/windows): a line per present port, then
// what needs fixing.
QList<DoctorFinding> systemDoctorFindings();

// 0 when nothing needs fixing, 1 when something does.
int doctorExitCode(const QList<DoctorFinding> &findings);

QString severityName(DoctorFinding::Severity severity);
QJsonObject findingEvent(const DoctorFinding &finding);
