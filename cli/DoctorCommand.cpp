// tamberlin-cli doctor: why a port may not work, and how to fix it.
#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/DoctorFinding.h"
#include "station/ExitCodes.h"
#include "cli/JsonLines.h"

#include <algorithm>
#include <cstdio>

namespace {
void printText(const QList<DoctorFinding> &findings) {
  for (const DoctorFinding &f : findings) {
    std::printf("%-7s %s\n", qPrintable(severityName(f.severity)), qPrintable(f.what));
    if (!f.fix.isEmpty())
      std::printf("        fix: %s\n", qPrintable(f.fix));
  }
}
} // namespace

int runDoctor(const CliOptions &options) {
  const QList<DoctorFinding> findings = systemDoctorFindings();
  const auto toFix =
      std::count_if(findings.begin(), findings.end(), [](const DoctorFinding &f) { return f.needsFixing(); });
  const int code = doctorExitCode(findings);
  if (options.json) {
    for (const DoctorFinding &f : findings)
      JsonLines::write(findingEvent(f));
    JsonLines::write({{"event", "summary"},
                      {"ok", toFix == 0},
                      {"code", code},
                      {"findings", findings.size()},
                      {"toFix", qint64(toFix)}});
  } else {
    printText(findings);
    if (toFix == 0)
      std::printf("Nothing needs fixing.\n");
    else
      std::printf("%lld finding(s) need fixing.\n", static_cast<long long>(toFix));
  }
  return code;
}
