// The ports that find probes on Linux: the present entries of the port map, new adapters included.
#include "cli/FindPorts.h"

#include "cli/linux/PortFacts.h"

FindPorts findPorts() {
  PortMap map;
  refreshPortMap(map);
  return {presentPortItems(map),
          QStringLiteral("no present port in the port map %1; plug in the gateway's adapter, or link a "
                         "device there as comN")
              .arg(map.folder())};
}
