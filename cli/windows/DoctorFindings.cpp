// The doctor on Windows: each COM port the system lists, opened for a moment.
#include "cli/windows/ComPortChecks.h"
#include "cli/windows/ComPortProbe.h"

QList<DoctorFinding> systemDoctorFindings() {
  return diagnoseComPorts(gatherComPortFacts());
}
