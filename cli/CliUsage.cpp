// The help texts of tamberlin-cli: commands, options, exit codes and the JSON Lines schema; the
// lines about the ports of a system come with its SystemUsage.
#include "cli/SystemUsage.h"

#include <initializer_list>

namespace {
const char kProgramHead[] =
    "Usage: tamberlin-cli COMMAND [options]\n"
    "Writes compiled scripts (.qcs) into KORVANE gateways without a display.\n"
    "\n"
    "Commands:\n"
    "  write [--port P]... [--all] [--json] [--log-dir DIR] [--restart-wait S] [--trace FILE] SCRIPT\n"
    "                      write SCRIPT into one gateway or into several at once\n"
    "  find [--json]       search the ports for a gateway on its configuration interface\n";

const char kProgramTail[] = "  doctor [--json]     check why a port may not work, and say how to fix it\n"
                            "  trace [--trace FILE] [--last N] [--json]\n"
                            "                      show the record of every write\n"
                            "  --help              this text; COMMAND --help: the command's own\n"
                            "  --version           the program's name and version\n"
                            "\n";

const char kMessages[] = "Messages go to standard error, results to standard output.\n";

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
    "  7  the transfer failed (handshake, dot, restart, \"O\", port lost)\n";

const char kWriteHead[] =
    "Usage: tamberlin-cli write [--port P]... [--all] [--json] [--log-dir DIR] [--restart-wait S]\n"
    "                           [--trace FILE] SCRIPT\n"
    "Finds the gateway on each port, tells its configuration interface from its debug interface\n"
    "and writes SCRIPT with the matching download. Several ports are written at the same time.\n"
    "\n";

const char kWriteTail[] =
    "  --json            JSON Lines on standard output instead of text\n"
    "  --log-dir DIR     one log file per port (port-COMn.log) with time stamps\n"
    "  --restart-wait S  when no gateway answers, ask for its restart and wait S seconds\n"
    "                    for it (default 10)\n"
    "  --trace FILE      append each port's line to this record of every write instead of the one\n"
    "                    in the settings (tamberlin-cli trace shows it); a record that cannot be\n"
    "                    written is said on standard error, and the write goes on\n"
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

const char kTraceHead[] =
    "Usage: tamberlin-cli trace [--trace FILE] [--last N] [--json]\n"
    "Shows where the record of every write is and its entries: one line per attempt to write a\n"
    "script, from the window program and from tamberlin-cli write, appended when it has ended.\n";

const char kTraceTail[] =
    "\n"
    "  --trace FILE  read this record instead of the one in the settings\n"
    "  --last N      the newest N entries only\n"
    "  --json        JSON Lines on standard output, with the record's column names:\n"
    "  {\"event\":\"entry\",\"started_utc\":TIME,\"seconds\":S,\"computer\":TEXT,\"user\":TEXT,\n"
    "   \"program\":TEXT,\"version\":TEXT,\"port\":\"COM3\",\"adapter\":TEXT|null,\n"
    "   \"interface\":\"configuration|debug\"|null,\"script\":PATH,\"script_bytes\":N|null,\n"
    "   \"script_sha256\":HEX|null,\"bytes_sent\":N,\"exit_code\":CODE,\"reason\":TEXT|null,\n"
    "   \"result\":\"written|failed\"}\n"
    "  {\"event\":\"summary\",\"record\":PATH,\"entries\":N,\"shown\":N,\"problems\":[TEXT...]}\n"
    "\n"
    "The record is CSV in UTF-8 (with a byte-order mark) that a spreadsheet opens as it is: a header\n"
    "line, then one line per attempt with the columns started_utc (ISO 8601, UTC), seconds, computer,\n"
    "user, program, version, port, adapter, interface, script, script_bytes, script_sha256,\n"
    "bytes_sent, exit_code (the codes of tamberlin-cli write, whichever program wrote), reason and\n"
    "result (written or failed). A text that starts with = + - @ or ' has an apostrophe before it.\n"
    "A line cut short by a power cut is named on standard error and skipped.\n"
    "Exit 0 when the record was read (or there is none yet), 1 when it cannot be read.\n";

const char kFindHead[] = "Usage: tamberlin-cli find [--json]\n";

const char kPortsHead[] = "Usage: tamberlin-cli ports [--json]\n";
const char kDoctorHead[] = "Usage: tamberlin-cli doctor [--json]\n";
const char kDoctorJson[] =
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"finding\",\"severity\":\"ok|warning|error\",\"port\":\"COM3\"|null,\"what\":TEXT,\n"
    "   \"fix\":TEXT|null}\n"
    "  {\"event\":\"summary\",\"ok\":BOOL,\"code\":EXIT_CODE,\"findings\":N,\"toFix\":N}\n";

const char kFindOptions[] =
    "\n"
    "  --json  JSON Lines on standard output:\n"
    "  {\"event\":\"port-error\",\"port\":\"COM4\",\"code\":SERIAL_CODE,\"message\":TEXT}\n"
    "  {\"event\":\"summary\",\"ok\":BOOL,\"code\":EXIT_CODE,\"port\":\"COM3\"|null,\"probed\":[PORT...]}\n";

QString text(std::initializer_list<const char *> parts) {
  QString out;
  for (const char *part : parts)
    if (part)
      out += QString::fromUtf8(part);
  return out;
}
} // namespace

QString cliUsage(CliOptions::Command command) {
  return cliUsage(command, SystemUsage{});
}

QString cliUsage(CliOptions::Command command, const SystemUsage &system) {
  using C = CliOptions::Command;
  switch (command) {
  case C::Write:
    return text(
        {kWriteHead, system.portOption, system.allOption, kWriteTail, kExitCodes, system.interrupted});
  case C::Find:
    return text({kFindHead, system.find, kFindOptions});
  case C::Ports:
    return text({kPortsHead, system.ports});
  case C::Doctor:
    return text({kDoctorHead, system.doctor, kDoctorJson});
  case C::Trace:
    return text({kTraceHead, system.tracePlace, kTraceTail});
  case C::None:
    break;
  }
  return text({kProgramHead, system.portsCommand, kProgramTail, system.portForms, kMessages, kExitCodes,
               system.interrupted});
}
