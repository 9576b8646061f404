#include "platform/VersionInfo.h"

#include "platform/Seam.h"

// The program file carries no version resource here: the data is compiled in.
VersionInfo &VersionInfo::instance() {
  return Seam<VersionInfo>::instance<CompiledVersionInfo>();
}
