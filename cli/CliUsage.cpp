// The help texts of tamberlin-cli: commands, options, exit codes and the JSON Lines schema.
#include "cli/CliOptions.h"

namespace {
const char kProgram[] =
    "Usage: tamberlin-cli COMMAND [options]\n"
    "Writes compiled scripts (.qcs) into KORVANE gateways without a display.\n"
    "\n"
    "Commands:\n"
    "  write [--port P]... [--all] [--json] [--log-dir DIR] [--restart-wait S] SCRIPT\n"
    "                      write SCRIPT into one gateway or into several at once\n"
    "  find [--json]       search the ports for a gateway on its configuration interface\n"
    "  ports [--json]      list the port map: COM numbers, devices, USB identity, holder\n"
    "  doctor [--json]     check why a port may not work, and say how to fix it\n"
    "  --help              this text; COMMAND --help: the command's own\n"
    "  --version           the program's name and version\n"
    "\n"
    "P is COMn, n, or a device path (/dev/ttyUSB0, /dev/serial/by-id/...). Without --port, write\n"
    "uses the port stored by the window program (setting \"PortNumber\").\n"
    "Messages go to standard error, results to standard output.\n";

const char kExitCodes[] =
    "\n"
    "Exit codes:\n"
    "  0  every port written (find: a gateway answered; doctor: nothing needs fixing)\n"
    "  1  several ports, not all written (see the summary; doctor: something needs fixing)\n"
    "  2  usage error\n"
    "  3  script file error (missing, unreadable, too large)\n"
    "  4  port error (absent, held by another program, no permission)\n"
    "  5  no gateway answered\n"
    "  6  gateway on the debug interface started in configuration mode (\"CC\")\n"
    "  7  the transfer failed (handshake, dot, restart, \"O\", port lost)\n"
    "  8  interrupted (SIGINT, SIGTERM)\n";

const char kWrite[] =
    "Usage: tamberlin-cli write [--port P]... [--all] [--json] [--log-dir DIR] [--restart-wait S] SCRIPT\n"
    "Finds the gateway on each port, tells its configuration interface from its debug interface\n"
    "and writes SCRIPT with the matching download. Several ports are written at the same time.\n"
    "\n"
    "  --port P          a port: COMn, n or a device path; repeat it for several ports\n"
    "  --all             every present port of the port map whose gateway answers\n"
    "  --json            JSON Lines on standard output instead of text\n"
    "  --log-dir DIR     one log file per port (COMn.log) with time stamps\n"
    "  --restart-wait S  when no gateway answers, ask for its restart and wait S seconds\n"
    "                    for it (default 10)\n"
    "\n"
    "JSON Lines: one object per line; every object has \"event\" and, but the last, \"port\":\n"
    "  {\"event\":\"start\",\"port\":\"COM3\",\"script\":PATH,\"total\":BYTES}\n"
    "  {\"event\":\"phase\",\"port\":\"COM3\",\"phase\":\"searching|testing|programming|restarting|"
    "finishing|answer\"}\n"
    "  {\"event\":\"progress\",\"port\":\"COM3\",\"done\":BYTES,\"total\":BYTES}  (a few per second)\n"
    "  {\"event\":\"log\",\"port\":\"COM3\",\"text\":LINE}\n"
    "  {\"event\":\"message\",\"port\":\"COM3\",\"text\":TEXT}  (a request for the person at the gateway)\n"
    "  {\"event\":\"result\",\"port\":\"COM3\",\"ok\":BOOL,\"code\":EXIT_CODE,\"message\":TEXT,\n"
    "   \"interface\":\"configuration|debug|null\",\"bytes\":BYTES,\"seconds\":SECONDS}\n"
    "  {\"event\":\"summary\",\"ok\":BOOL,\"code\":EXIT_CODE,\"results\":[RESULT...]}\n";

const char kFind[] = "Usage: tamberlin-cli find [--json]\n"
                     "Probes every present port of the port map with 0x14 and prints the first on which a\n"
                     "gateway answers \"OK\"; exit 5 when none does.\n";

const char kPorts[] =
    "Usage: tamberlin-cli ports [--json]\n"
    "Lists every entry of the port map: COM number, link target, present or absent,\n"
    "automatic or the user's, the USB identity where known and the process that holds it.\n";

const char kDoctor[] =
    "Usage: tamberlin-cli doctor [--json]\n"
    "Checks each present port (may this user open it?), lock files whose owner is gone,\n"
    "ModemManager and brltty (both grab USB serial adapters), dangling port-map entries\n"
    "and the session bus; says how to fix each finding. Exit 0 when nothing needs fixing.\n";
} // namespace

QString cliUsage(CliOptions::Command command) {
  using C = CliOptions::Command;
  switch (command) {
  case C::Write:
    return QString::fromUtf8(kWrite) + QString::fromUtf8(kExitCodes);
  case C::Find:
    return QString::fromUtf8(kFind);
  case C::Ports:
    return QString::fromUtf8(kPorts);
  case C::Doctor:
    return QString::fromUtf8(kDoctor);
  case C::None:
    break;
  }
  return QString::fromUtf8(kProgram) + QString::fromUtf8(kExitCodes);
}
