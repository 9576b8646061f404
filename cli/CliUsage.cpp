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

const char kFind[] =
    "Usage: tamberlin-cli find [--json]\n"
    "Probes every present port of the port map in ascending order with 0x14 and prints the first\n"
    "on which a gateway answers \"OK\" (its configuration interface), e.g. COM3; exit 5 when none\n"
    "does. Ports that cannot be opened are named on standard error with the reason.\n"
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"port-error\",\"port\":\"COM4\",\"code\":SERIAL_CODE,\"message\":TEXT}\n"
    "  {\"event\":\"summary\",\"ok\":BOOL,\"code\":EXIT_CODE,\"port\":\"COM3\"|null,\"probed\":[PORT...]}\n";

const char kPorts[] =
    "Usage: tamberlin-cli ports [--json]\n"
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
    "Usage: tamberlin-cli doctor [--json]\n"
    "Checks each present port (may this user open it? does another program hold it?), lock files\n"
    "whose owner has ended, ModemManager and brltty (both grab USB serial adapters), port-map\n"
    "entries that lead nowhere and the session bus for \"Broadcast COM\"; says how to fix each\n"
    "finding. Exit 0 when nothing needs fixing, 1 when something does.\n"
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"finding\",\"severity\":\"ok|warning|error\",\"port\":\"COM3\"|null,\"what\":TEXT,\n"
    "   \"fix\":TEXT|null}\n"
    "  {\"event\":\"summary\",\"ok\":BOOL,\"code\":EXIT_CODE,\"findings\":N,\"toFix\":N}\n";
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
