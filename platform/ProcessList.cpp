#include "platform/ProcessList.h"

#include "platform/Seam.h"

ProcessList &ProcessList::instance() {
  return Seam<ProcessList>::instance<ProcProcessList>();
}

void ProcessList::setInstance(ProcessList *list) {
  Seam<ProcessList>::installed = list;
}
