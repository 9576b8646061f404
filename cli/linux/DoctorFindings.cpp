// The doctor on Linux: the port map with its devices, lock files, services that grab adapters and
// the session bus.
#include "cli/linux/DoctorChecks.h"

QList<DoctorFinding> systemDoctorFindings() {
  PortMap map;
  refreshPortMap(map);
  return diagnose(gatherDoctorFacts(map));
}
