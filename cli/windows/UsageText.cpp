// The help texts' lines about ports on Windows: the system's own COM ports.
#include "cli/SystemUsage.h"

namespace {
const char kPorts[] =
    "Lists every COM port the system has: present or absent, free or held by another program\n"
    "(each is opened for a moment), and the USB identity where the system's USB record names\n"
    "the port.\n"
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"port\",\"port\":\"COM3\",\"number\":3,\"device\":PATH,\"present\":BOOL,\"held\":BOOL,\n"
    "   \"error\":TEXT|null,\"usb\":{\"vendor\":HEX,\"product\":HEX,\"serial\":TEXT|null,\n"
    "   \"name\":TEXT|null}|null}\n"
    "  {\"event\":\"summary\",\"ports\":N,\"present\":N,\"held\":N}\n";

const char kDoctor[] =
    "Checks each present COM port (can it be opened, or does another program hold it?) and that\n"
    "the system has a COM port at all (without one the gateway's USB adapter is unplugged or its\n"
    "driver missing); says how to fix each finding. Exit 0 when nothing needs fixing, 1 when\n"
    "something does.\n";

const char kTracePlace[] = "Unless the settings name another place, the record is\n"
                           "%LOCALAPPDATA%\\Quarnel\\Tamberlin\\trace.csv.\n";

const SystemUsage kUsage{
    "  ports [--json]      list the COM ports: present, free or held, USB identity\n",
    "P is COMn, n, \\\\.\\COMn or a USB adapter's identity: usb:<serial>, or usb:path:<instance> for\n"
    "one without a serial; the write goes to the port that adapter has now. Without --port, write\n"
    "uses the port stored by the window program (setting \"PortNumber\").\n",
    "  --port P          a port: COMn, n, usb:<serial> or \\\\.\\COMn; repeat it for several ports\n",
    "  --all             every present COM port whose gateway answers\n",
    "  8  interrupted (Ctrl+C, Ctrl+Break, the console closed)\n",
    "Probes every present COM port in ascending order with 0x14 and prints the first on which a\n"
    "gateway answers \"OK\" (its configuration interface), e.g. COM3; exit 5 when none does.\n"
    "Ports that cannot be opened are named on standard error with the reason.\n",
    kPorts,
    kDoctor,
    kTracePlace};
} // namespace

const SystemUsage &systemUsage() {
  return kUsage;
}
