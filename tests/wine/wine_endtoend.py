#!/usr/bin/env python3
"""The Windows programs under Wine against korvane-sim (built for Linux) on a pseudo-terminal that
Wine maps as COM42: what a technician's script on Windows does, byte for byte.

Usage: wine_endtoend.py WINDOWS_BUILD LINUX_BUILD SOURCE_DIR [CASE...]"""
import json
import os
import subprocess
import sys
import tempfile
import time

PORT = 42


class Sandbox:
    def __init__(self, windows_build, linux_build, source, prefix=None, ports=(PORT,)):
        self.windows_build = windows_build
        self.linux_build = linux_build
        self.source = source
        self.dir = tempfile.mkdtemp(prefix="tamberlin-wine-")
        self.prefix = prefix or os.path.join(windows_build, "wineprefix")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=", XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
                        QT_QPA_PLATFORM="offscreen")
        self.env["LD_PRELOAD"] = shim(windows_build, source)
        subprocess.run([os.path.join(source, "tools/windows/wine-prefix.sh"), self.prefix], check=True, env=self.env)
        self.map_ports(ports)
        self.gateway = None
        self.gateways = []

    def link(self, port):
        """A fixed path for the port in the prefix, pointed at each test's port-map entry."""
        return os.path.join(self.windows_build, "wine-com%d" % port)

    def map_ports(self, ports):
        key = r"HKLM\Software\Wine\Ports"
        query = subprocess.run(["wine", "reg", "query", key], env=self.env, capture_output=True, text=True)
        missing = [port for port in ports if self.link(port) not in query.stdout]
        for port in missing:
            self.reg(["add", key, "/v", "COM%d" % port, "/d", self.link(port), "/f"])
        if missing:
            subprocess.run(["wineserver", "-k"], env=self.env)

    def reg(self, arguments):
        subprocess.run(["wine", "reg"] + arguments, env=self.env, check=True, capture_output=True)

    def start_gateway(self, options, port=PORT):
        """korvane-sim on the port, which it returns; what it receives goes to self.received."""
        self.received = self.received_at(port)
        self.gateway = subprocess.Popen(
            [os.path.join(self.linux_build, "korvane-sim"), "--com", str(port), "--out", self.received,
             "--restart-ms", "300", "--exit-after-download", "--linger-ms", "2500", "--idle-exit", "60"] + options,
            env=self.env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        self.gateways.append(self.gateway)
        entry = self.port_entry(port)
        deadline = time.time() + 10
        while not os.path.islink(entry) and time.time() < deadline:
            time.sleep(0.02)
        if not os.path.islink(entry):
            raise SystemExit("korvane-sim did not publish its port")
        # Through the port-map entry, so that a gateway that vanishes and comes back on another
        # pseudo-terminal is found again, and one that is gone reads as absent.
        if os.path.lexists(self.link(port)):
            os.unlink(self.link(port))
        os.symlink(entry, self.link(port))
        return self.gateway

    def received_at(self, port):
        return os.path.join(self.dir, "received-com%d.qcs" % port)

    def port_entry(self, port):
        return os.path.join(self.dir, "config/Quarnel/ports/com%d" % port)

    def store_port(self, choice):
        self.reg(["add", r"HKCU\SOFTWARE\Quarnel\Tamberlin\kvSerialOptionCaption", "/v", "PortNumber", "/d",
                  choice, "/f"])

    def run(self, program, arguments, timeout=120):
        started = time.time()
        # Wine keeps QT_* variables from Windows programs: the window program is asked on its command
        # line to run where nobody sees it, as QT_QPA_PLATFORM does on Linux.
        if os.path.basename(program).lower() == "tamberlin.exe":
            arguments = ["-platform", "offscreen"] + arguments
        result = subprocess.run(["wine", os.path.join(self.windows_build, program)] + arguments, env=self.env,
                                capture_output=True, timeout=timeout)
        return result, time.time() - started

    def gateway_done(self):
        try:
            self.gateway.wait(timeout=15)
        except subprocess.TimeoutExpired:
            self.gateway.kill()
        return self.gateway.stdout.read().decode(errors="replace")

    def close(self):
        for gateway in self.gateways:
            if gateway.poll() is None:
                gateway.kill()
        subprocess.run(["rm", "-rf", self.dir])


def shim(windows_build, source):
    """The test-only preload that gives pseudo-terminals the modem lines Wine asks for."""
    out = os.path.join(windows_build, "ModemLinesShim.so")
    src = os.path.join(source, "tests/wine/ModemLinesShim.c")
    if not os.path.exists(out) or os.path.getmtime(out) < os.path.getmtime(src):
        subprocess.run(["gcc", "-shared", "-fPIC", "-O2", "-o", out, src, "-ldl"], check=True)
    return out


def script_path(box):
    return os.path.join(box.source, "examples/example.qcs")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def same_script(box):
    with open(box.received, "rb") as got, open(script_path(box), "rb") as want:
        return got.read() == want.read()


def case_file_run_configuration(box):
    box.start_gateway([])
    box.store_port("COM%d" % PORT)
    result, took = box.run("tamberlin.exe", ["/P%d" % PORT, "/F" + windows_path(script_path(box))])
    box.gateway_done()
    check(result.returncode == 1, "tamberlin.exe /F ends with 1", result)
    check(same_script(box), "the gateway has the script byte for byte", result)
    return took


def case_file_run_debug(box):
    # /F writes on the configuration interface only, on either system: a gateway on its debug
    # interface is not found, and nothing is written.
    box.start_gateway(["--mode", "debug"])
    box.store_port("COM%d" % PORT)
    result, took = box.run("tamberlin.exe", ["/P%d" % PORT, "/F" + windows_path(script_path(box))])
    box.gateway_done()
    check(result.returncode == 2, "tamberlin.exe /F against the debug interface ends with 2", result)
    check(b"Message: No gateway found!" in result.stderr, "the reason is on standard error", result)
    check(not os.path.exists(box.received) or os.path.getsize(box.received) == 0, "nothing was written",
          result)
    return took


def case_cli_debug(box):
    box.start_gateway(["--mode", "debug"])
    result, took = box.run("tamberlin-cli.exe", ["write", "--port", "COM%d" % PORT, "--json",
                                                 windows_path(script_path(box))])
    box.gateway_done()
    check(result.returncode == 0, "tamberlin-cli.exe write ends with 0", result)
    summary = json.loads(result.stdout.decode().strip().splitlines()[-1])
    check(summary["ok"] and summary["results"][0]["interface"] == "debug", "the summary says written, debug",
          result)
    check(same_script(box), "the gateway has the script byte for byte", result)
    return took


def case_cli_configuration(box):
    box.start_gateway([])
    result, took = box.run("tamberlin-cli.exe", ["write", "--port", "COM%d" % PORT, "--json",
                                                 windows_path(script_path(box))])
    box.gateway_done()
    check(result.returncode == 0, "tamberlin-cli.exe write ends with 0", result)
    check(same_script(box), "the gateway has the script byte for byte", result)
    return took


def case_vanish(box):
    box.start_gateway(["--vanish-at", "600", "--vanish-for", "60000"])
    box.store_port("COM%d" % PORT)
    result, took = box.run("tamberlin.exe", ["/P%d" % PORT, "/F" + windows_path(script_path(box))])
    check(result.returncode == 2, "a gateway that vanishes mid-download is no success", result)
    check(b"Message: Error writing script" in result.stderr, "the reason is on standard error", result)
    return took


CASES = {
    "file-run-configuration": case_file_run_configuration,
    "file-run-debug": case_file_run_debug,
    "cli-configuration": case_cli_configuration,
    "cli-debug": case_cli_debug,
    "vanish": case_vanish,
}


def check(condition, what, result):
    if not condition:
        raise AssertionError("%s: exit %s\nstdout: %s\nstderr: %s" % (
            what, result.returncode, result.stdout.decode(errors="replace")[-2000:],
            result.stderr.decode(errors="replace")[-2000:]))


def main():
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    windows_build, linux_build, source = (os.path.abspath(p) for p in sys.argv[1:4])
    failed = 0
    for name in sys.argv[4:] or CASES:
        box = Sandbox(windows_build, linux_build, source)
        try:
            took = CASES[name](box)
            print("PASS %s (%.1f s)" % (name, took), flush=True)
        except (AssertionError, subprocess.TimeoutExpired) as e:
            failed += 1
            print("FAIL %s: %s" % (name, e), flush=True)
        finally:
            box.close()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
