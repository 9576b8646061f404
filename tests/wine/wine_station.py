#!/usr/bin/env python3
"""The station window of the Windows build under Wine, on a virtual X display (Xvfb) and driven from
the keyboard (xdotool), against three korvane-sim gateways that Wine maps as COM51 to COM53. The
setup waits in the registry as a technician left it; F5 starts every slot. Two gateways receive the
script byte for byte, the third vanishes in the middle of its write and comes back as one that was
off: its slot fails, and F5 once more writes it. The record (CSV, at the place the registry names)
has one line per attempt with its result.

Usage: wine_station.py WINDOWS_BUILD LINUX_BUILD SOURCE_DIR"""
import csv
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_endtoend import Sandbox, windows_path  # noqa: E402

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from xsession import start_xvfb  # noqa: E402

PORTS = {"plain": 51, "vanish": 52, "second": 53}
TITLE = "^Tamberlin - Station$"


class Failed(Exception):
    pass


def wait_for(what, condition, seconds, box):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise Failed("waited %d s for %s%s" % (seconds, what, program_log(box)))


def program_log(box):
    """The ends of the program's log and of the slots' logs, for a failure."""
    logs = [os.path.join(box.dir, "tamberlin.log")]
    slots = "drive_c/users/*/AppData/Local/Quarnel/Tamberlin/station-logs/*"
    logs += sorted(glob.glob(os.path.join(box.prefix, slots)))
    text = ""
    for path in filter(os.path.exists, logs):
        with open(path, errors="replace") as f:
            text += "\n--- %s (end):\n" % os.path.basename(path) + "".join(f.readlines()[-12:])
    return text


def x_server(box):
    return start_xvfb(box.env, "1280x900x24", stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def draw_on_x(box):
    """The tests' prefixes use Wine's null graphics driver; this one draws on the X display."""
    query = subprocess.run(["wine", "reg", "query", r"HKCU\Software\Wine\Drivers", "/v", "Graphics"],
                           env=box.env, capture_output=True, text=True)
    if "x11" not in query.stdout:
        box.reg(["add", r"HKCU\Software\Wine\Drivers", "/v", "Graphics", "/d", "x11", "/f"])
    # A wineserver of an earlier run still knows that run's display.
    subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)


def store_setup(box, script, ports, record):
    """The station's setup (script and slots) and the record's place, as the window keeps them, in
    one import; the main window stays offline. Paths as Windows names them."""
    def text(path):
        return '"%s"' % path.replace("\\", "\\\\")
    lines = ["Windows Registry Editor Version 5.00", "",
             r"[-HKEY_CURRENT_USER\SOFTWARE\Quarnel\Tamberlin\Station]", "",
             r"[HKEY_CURRENT_USER\SOFTWARE\Quarnel\Tamberlin\Station]",
             '"Script"=' + text(script), '"SlotCount"=dword:%08x' % len(ports)]
    lines += ['"Slot%d"="COM%d"' % (i + 1, com) for i, com in enumerate(ports)]
    lines += ["", r"[HKEY_CURRENT_USER\SOFTWARE\Quarnel\Tamberlin\Trace]", '"RecordFile"=' + text(record),
              "", r"[HKEY_CURRENT_USER\SOFTWARE\Quarnel\Tamberlin\kvSerialOptionCaption]",
              '"PortNumber"="offline"', ""]
    path = os.path.join(box.dir, "station.reg")
    with open(path, "w", newline="\r\n") as f:
        f.write("\n".join(lines))
    box.reg(["import", windows_path(path)])


def xdotool(box, *args):
    return subprocess.run(["xdotool", *args], env=box.env, capture_output=True, text=True).stdout


def station_window(box):
    found = wait_for("the station window", lambda: xdotool(box, "search", "--onlyvisible", "--name", TITLE).split(),
                     60, box)
    return found[0]


def press_f5(box, window):
    xdotool(box, "windowfocus", "--sync", window)
    xdotool(box, "key", "F5")


def rows(record, count):
    """The record's lines, once it has at least count of them."""
    if not os.path.exists(record):
        return None
    with open(record, newline="", encoding="utf-8-sig") as f:
        found = list(csv.DictReader(f))
    return found if len(found) >= count else None


def same(path, script):
    if not os.path.exists(path):
        return False
    with open(path, "rb") as f:
        return f.read() == script


def expect(row, name, result, script):
    port = "COM%d" % PORTS[name]
    wanted = {"port": port, "result": result, "program": "tamberlin", "script_bytes": str(len(script)),
              "script_sha256": hashlib.sha256(script).hexdigest()}
    if result == "written":
        wanted.update(bytes_sent=str(len(script)), reason="")
    wrong = {k: (row.get(k), v) for k, v in wanted.items() if row.get(k) != v}
    if wrong or (result == "failed" and not row.get("reason")):
        raise Failed("%s (%s): the record's line differs (field: (has, wanted)) %s\n%s" % (port, name, wrong, row))


def by_port(lines):
    found = {}
    for row in lines:
        if row["port"] in found:
            raise Failed("two lines for %s in one round: %s" % (row["port"], lines))
        found[row["port"]] = row
    return found


def run(box, gateways, script, record):
    program = subprocess.Popen(["wine", os.path.join(box.windows_build, "tamberlin.exe"), "--station"], env=box.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = station_window(box)
        started = time.time()
        press_f5(box, window)
        first = by_port(wait_for("a line in the record for each slot", lambda: rows(record, 3), 60, box))
        for name in ("plain", "second"):
            expect(first.get("COM%d" % PORTS[name], {}), name, "written", script)
            gateways[name].wait(15)  # it keeps what it received when it ends
            if not same(box.received_at(PORTS[name]), script):
                raise Failed("COM%d (%s) did not receive the script byte for byte" % (PORTS[name], name))
        vanished = first.get("COM%d" % PORTS["vanish"], {})
        expect(vanished, "vanish", "failed", script)
        if not 0 < int(vanished["bytes_sent"]) < len(script):
            raise Failed("the write that the gateway left in the middle sent %s bytes" % vanished["bytes_sent"])

        # The two that were written have ended; the one that vanished is back. F5 starts every slot again.
        wait_for("the vanished gateway to come back", lambda: os.path.exists(box.port_entry(PORTS["vanish"])), 30,
                 box)
        press_f5(box, window)
        lines = wait_for("a second line in the record for each slot", lambda: rows(record, 6), 60, box)
        if len(lines) != 6:
            raise Failed("the record has %d lines, not one per attempt (6): %s" % (len(lines), lines))
        again = by_port(lines[3:])
        expect(again.get("COM%d" % PORTS["vanish"], {}), "vanish", "written", script)
        for name in ("plain", "second"):
            expect(again.get("COM%d" % PORTS[name], {}), name, "failed", script)
        gateways["vanish"].wait(15)
        if not same(box.received_at(PORTS["vanish"]), script):
            raise Failed("the gateway that came back did not receive the script byte for byte")
        return time.time() - started
    finally:
        program.kill()
        program.wait()


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print("%s is missing (apt-get install xvfb xdotool)" % tool)
            return 1
    windows_build, linux_build, source = (os.path.abspath(p) for p in sys.argv[1:4])
    begun = time.time()
    box = Sandbox(windows_build, linux_build, source, prefix=os.path.join(windows_build, "wine-station-prefix"),
                  ports=PORTS.values())
    xvfb = None
    try:
        draw_on_x(box)
        xvfb = x_server(box)
        box.env.pop("QT_QPA_PLATFORM", None)
        box.env["TAMBERLIN_LOG"] = windows_path(os.path.join(box.dir, "tamberlin.log"))
        script = bytes((i * 37 + 11) & 0xFF for i in range(2500))
        script_path = os.path.join(box.dir, "station.qcs")
        with open(script_path, "wb") as f:
            f.write(script)
        record = os.path.join(box.dir, "trace.csv")
        store_setup(box, windows_path(script_path), PORTS.values(), windows_path(record))
        faults = {"vanish": ["--vanish-at", "1200", "--vanish-for", "1500", "--fresh-on-return"]}
        gateways = {name: box.start_gateway(faults.get(name, []), com) for name, com in PORTS.items()}
        took = run(box, gateways, script, record)
        print("PASS station (%.1f s from the first F5, %.1f s in all)" % (took, time.time() - begun), flush=True)
        return 0
    except (Failed, subprocess.TimeoutExpired) as e:
        print("FAIL station: %s" % e, flush=True)
        return 1
    finally:
        subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)
        box.close()
        if xvfb:
            xvfb.kill()
            xvfb.wait()


if __name__ == "__main__":
    sys.exit(main())
