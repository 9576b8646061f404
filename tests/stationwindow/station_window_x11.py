#!/usr/bin/env python3
"""The station window as a technician uses it, on an X server (Xvfb) with the keyboard (xdotool):
choose the script, add four slots, start all with F5. Three simulated gateways take the script
(one vanishes in the middle of its write and comes back, and its slot writes it when started again);
the fourth port is held by another program, which its slot says while the others go on. Then a
PIN locks the station, and the settings keep it only hashed.

Usage: station_window_x11.py BUILD [SCREENSHOT_FOLDER]
A screenshot of the window is saved when a folder is given and ImageMagick's import is there."""
import csv
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "support"))
from xsession import XSession  # noqa: E402

BUILD = Path(sys.argv[1]).resolve()
SHOTS = Path(sys.argv[2]).resolve() if len(sys.argv) > 2 else None
PORTS = {"plain": 81, "vanish": 82, "second": 83, "held": 84}
PIN = "2468"


class Failed(Exception):
    pass


def wait_for(what, condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.1)
    raise Failed(f"waited {seconds} s for {what}")


class Session(XSession):
    def __init__(self, work: Path):
        super().__init__(work, dict(os.environ, XDG_CONFIG_HOME=str(work / "config"),
                                    XDG_DATA_HOME=str(work / "data"), QT_QPA_PLATFORMTHEME="",
                                    TAMBERLIN_LOG=str(work / "tamberlin.log")))
        self.lock_file = None

    def gateway(self, com, *faults):
        self.start([str(BUILD / "korvane-sim"), "--com", str(com), "--restart-ms", "400", "--idle-exit", "120",
                    "--exit-after-download", "--linger-ms", "2500", "--out", str(self.work / f"received-{com}.qcs"),
                    *faults], f"sim-{com}")
        entry = self.work / "config" / "Quarnel" / "ports" / f"com{com}"
        wait_for(f"COM{com} in the port map", entry.exists, 10)
        return os.path.realpath(entry)

    def hold(self, device):
        # Another program's serial lock on the device, as the serial library and UUCP tools take it.
        for folder in ("/var/lock", "/run/lock", "/tmp"):
            if os.access(folder, os.W_OK):
                self.lock_file = Path(folder) / ("LCK.." + device.removeprefix("/dev/").replace("/", "_"))
                self.lock_file.write_text(f"{os.getpid():10d}\n")
                return
        raise Failed("no lock folder can be written")

    def keys(self, *keys):
        self.xdotool("windowfocus", "--sync", self.station)
        self.xdotool("key", "--delay", "40", *keys)
        time.sleep(0.3)

    def type(self, text):
        self.xdotool("type", "--delay", "15", text)
        time.sleep(0.2)

    def screenshot(self, name):
        if SHOTS and shutil.which("import"):
            SHOTS.mkdir(parents=True, exist_ok=True)
            subprocess.run(["import", "-window", self.station, str(SHOTS / name)], env=self.env, check=True)
            print(f"screenshot: {SHOTS / name}")

    def stop(self):
        super().stop()
        if self.lock_file:
            self.lock_file.unlink(missing_ok=True)


def received(s, com):
    path = s.work / f"received-{com}.qcs"
    return path.exists() and path.read_bytes() == s.script.read_bytes()


def run(s: Session):
    s.script = s.work / "station.qcs"
    s.script.write_bytes(bytes((i * 37 + 11) & 0xFF for i in range(2500)))
    s.x_server()
    s.gateway(PORTS["plain"])
    s.gateway(PORTS["vanish"], "--vanish-at", "1200", "--vanish-for", "1500", "--fresh-on-return")
    s.gateway(PORTS["second"])
    s.hold(s.gateway(PORTS["held"]))

    program = s.start([str(BUILD / "tamberlin"), "--station"], "tamberlin")
    s.station = s.find_window("Tamberlin - Station", 30)
    if not s.station:
        raise Failed(f"the station window did not open; windows: {s.window_names()}")

    s.keys("alt+c")  # Choose script...
    time.sleep(1)
    s.type(str(s.script))
    s.xdotool("key", "Return")
    time.sleep(0.5)
    s.keys("alt+n")
    for com in PORTS.values():
        s.type(f"COM{com}")
        s.xdotool("key", "Return")
        time.sleep(0.3)
    s.keys("F5")

    wait_for("the plain gateways to receive the script",
             lambda: received(s, PORTS["plain"]) and received(s, PORTS["second"]), 60)
    first = wait_for("a record line for each of the four slots", lambda: ended(s, 4), 40)
    s.screenshot("station-after-first-round.png")
    by_port = {row["port"]: row for row in first}
    for name in ("plain", "second"):
        expect(by_port, name, "written", "")
    expect(by_port, "vanish", "failed", "")
    expect(by_port, "held", "failed", "cannot be used")
    if received(s, PORTS["vanish"]):
        raise Failed("the gateway that vanished mid-write has the whole script")

    time.sleep(2)  # the vanished gateway comes back
    s.keys("F5")  # starts the slots that are not writing
    wait_for("the gateway that came back to receive the script", lambda: received(s, PORTS["vanish"]), 60)
    rows = wait_for("the second round in the record", lambda: ended(s, 8), 40)
    again = {row["port"]: row for row in rows[4:]}
    expect(again, "vanish", "written", "")
    expect(again, "held", "failed", "cannot be used")

    s.keys("alt+p")
    s.type(PIN)
    s.keys("alt+i")  # Set PIN
    s.keys("alt+l")  # Lock
    time.sleep(0.5)
    s.screenshot("station-locked.png")
    program.terminate()
    program.wait(10)
    settings = (s.work / "config" / "Quarnel" / "Tamberlin.reg").read_text("utf-8", errors="replace")
    if PIN in settings or "pbkdf2-sha256$" not in settings:
        raise Failed("the settings do not keep the PIN hashed:\n" + settings)
    if not re.search(r'"Locked"=dword:0*1|"Locked"="1"', settings, re.IGNORECASE):
        print("note: no lock state found in the settings:\n" + settings)


def ended(s, count):
    """The record's entries, once it has at least count of them."""
    records = list((s.work / "data").rglob("*.csv"))
    if not records:
        return None
    with open(records[0], newline="", encoding="utf-8-sig") as f:
        rows = list(csv.DictReader(f))
    return rows if len(rows) >= count else None


def expect(rows, name, result, reason_part):
    row = rows.get(f"COM{PORTS[name]}")
    if not row or row["result"] != result or reason_part.lower() not in row["reason"].lower():
        raise Failed(f"COM{PORTS[name]} ({name}): expected {result} {reason_part!r}, the record has {row}")


def main():
    for tool in ("Xvfb", "xdotool"):
        if not shutil.which(tool):
            print(f"{tool} is missing (apt-get install xvfb xdotool)")
            return 1
    work = Path(tempfile.mkdtemp(prefix="station-x11-"))
    s = Session(work)
    try:
        run(s)
        print("station window: all checks passed")
        return 0
    except Failed as e:
        print(f"FAILED: {e}")
        for name in ("tamberlin.log", "tamberlin.txt"):
            path = work / name
            if path.exists():
                print(f"--- {name} (end)\n" + "\n".join(path.read_text(errors="replace").splitlines()[-40:]))
        return 1
    finally:
        s.stop()
        if not os.environ.get("TAMBERLIN_KEEP"):
            shutil.rmtree(work, ignore_errors=True)
        else:
            print(f"kept: {work}")


if __name__ == "__main__":
    sys.exit(main())
