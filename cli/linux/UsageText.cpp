// The help texts' lines about ports on Linux: the port map, device paths, holders and lock files.
#include "cli/SystemUsage.h"

namespace {
const char kPorts[] =
    "Lists every entry of the port map: COM number, link target, present or absent,\n"
    "automatic or the user's, the USB identity where known and the process that holds it\n"
    "(one that has the device open, or the live owner of its lock file).\n"
    "New USB adapters get their COM number first, as in the window program.\n"
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"port\",\"port\":\"COM3\",\"number\":3,\"entry\":PATH,\"target\":PATH,\n"
    "   \"device\":PATH|null,\"present\":BOOL,\"automatic\":BOOL,\"usb\":{\"vendor\":HEX,\"product\":HEX,\n"
    "   \"serial\":TEXT|null,\"name\":TEXT|null,\"manufacturer\":TEXT|null}|null,\n"
    "   \"holders\":[{\"pid\":N,\"name\":TEXT|null}...]}\n"
    "  {\"event\":\"summary\",\"folder\":PATH,\"entries\":N,\"present\":N}\n";

const char kDoctor[] =
    "Checks each present port (may this user open it? does another program hold it?), lock files\n"
    "whose owner has ended, ModemManager and brltty (both grab USB serial adapters), port-map\n"
    "entries that lead nowhere and the session bus for \"Broadcast COM\"; says how to fix each\n"
    "finding. Exit 0 when nothing needs fixing, 1 when something does.\n";

const char kTracePlace[] = "Unless the settings name another place, the record is\n"
                           "${XDG_DATA_HOME:-~/.local/share}/Quarnel/Tamberlin/trace.csv.\n";

const SystemUsage kUsage{
    "  ports [--json]      list the port map: COM numbers, devices, USB identity, holder\n",
    "P is COMn, n, a device path (/dev/ttyUSB0, /dev/serial/by-id/...) or a USB adapter's identity:\n"
    "usb:<serial>, or usb:path:<USB path> (1-2.3) for one without a serial; the write goes to the port\n"
    "that adapter has now. Without --port, write uses the port stored by the window program (setting\n"
    "\"PortNumber\").\n",
    "  --port P          a port: COMn, n, usb:<serial> or a device path; repeat it for several ports\n",
    "  --all             every present port of the port map whose gateway answers\n",
    "  8  interrupted (SIGINT, SIGTERM)\n",
    "Probes every present port of the port map in ascending order with 0x14 and prints the first\n"
    "on which a gateway answers \"OK\" (its configuration interface), e.g. COM3; exit 5 when none\n"
    "does. Ports that cannot be opened are named on standard error with the reason.\n",
    kPorts,
    kDoctor,
    kTracePlace};
} // namespace

const SystemUsage &systemUsage() {
  return kUsage;
}
