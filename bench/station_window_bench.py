#!/usr/bin/env python3
"""The station window at a full bench, on an X server (Xvfb), started with F5 as an operator does.

  bench/station_window_bench.py BUILD speed [SLOTS] [SCRIPT_BYTES]   (default 8 slots, 16384 bytes)
      SLOTS korvane-sim --pace gateways (9600 baud, read as a real line delivers): per slot the data
      phase against its line-time bound (characters x 10 bits / 9600 baud), and the window program's
      CPU time over the wall time of the writes.
  bench/station_window_bench.py BUILD memory [WRITES] [SLOTS]        (default 200 writes, 8 slots)
      WRITES writes in a row into unpaced gateways (2 KiB), F5 again after each round: the program's
      resident memory after every round.
The station's setup is stored in a throw-away settings folder first, as a technician would have
left it."""
import os
import shutil
import sys
import tempfile
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "support"))
from xsession import XSession  # noqa: E402

BUILD = Path(sys.argv[1]).resolve()
MODE = sys.argv[2] if len(sys.argv) > 2 else "speed"
FIRST_PORT = int(os.environ.get("BENCH_FIRST_PORT", "101"))
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


class Bench(XSession):
    def __init__(self):
        work = Path(tempfile.mkdtemp(prefix="station-bench-"))
        super().__init__(work, dict(os.environ, XDG_CONFIG_HOME=str(work / "config"),
                                    XDG_DATA_HOME=str(work / "data"), QT_QPA_PLATFORMTHEME=""))

    def gateways(self, count, *options):
        for com in range(FIRST_PORT, FIRST_PORT + count):
            self.start([str(BUILD / "korvane-sim"), "--com", str(com), "--idle-exit", "600", *options], f"sim-{com}")
        for com in range(FIRST_PORT, FIRST_PORT + count):
            entry = self.work / "config" / "Quarnel" / "ports" / f"com{com}"
            while not entry.exists():
                time.sleep(0.05)

    def store_station(self, script, count):
        lines = ["Windows Registry Editor Version 5.00", "",
                 "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\Station]",
                 '"Script"="' + str(script).replace("\\", "\\\\") + '"',
                 f'"SlotCount"=dword:{count:08x}']
        lines += [f'"Slot{i + 1}"="COM{FIRST_PORT + i}"' for i in range(count)]
        (self.work / "config" / "Quarnel").mkdir(parents=True, exist_ok=True)
        (self.work / "config" / "Quarnel" / "Tamberlin.reg").write_text("\r\n".join(lines) + "\r\n")

    def program(self):
        # BENCH_WRAP: a tool the program runs under ("heaptrack", "perf stat"), for looking closer.
        wrap = os.environ.get("BENCH_WRAP", "").split()
        self.tamberlin = self.start([*wrap, str(BUILD / "tamberlin"), "--station"], "tamberlin")
        self.window = self.find_window("Tamberlin - Station", 60)
        if not self.window:
            raise SystemExit(f"the station window did not open; windows: {self.window_names()}")
        time.sleep(1)

    def start_all(self):
        self.xdotool("windowfocus", "--sync", self.window)
        self.xdotool("key", "F5")

    def cpu_seconds(self):
        fields = Path(f"/proc/{self.tamberlin.pid}/stat").read_text().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS

    def rss_kib(self):
        for line in Path(f"/proc/{self.tamberlin.pid}/status").read_text().splitlines():
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
        return 0

    def record_lines(self):
        records = list((self.work / "data").rglob("*.csv"))
        return max(0, len(records[0].read_text("utf-8-sig").splitlines()) - 1) if records else 0

    def stop(self):
        super().stop()
        if not os.environ.get("BENCH_KEEP"):
            shutil.rmtree(self.work, ignore_errors=True)


def speed(b, count, size):
    script = b.work / "script.qcs"
    script.write_bytes(os.urandom(size))
    b.x_server()
    b.gateways(count, "--pace", "--restart-ms", "2000", "--exit-after-download", "--linger-ms", "2500")
    b.store_station(script, count)
    b.program()
    cpu0, wall0 = b.cpu_seconds(), time.monotonic()
    if os.environ.get("BENCH_PERF"):
        b.start(["perf", "record", "-g", "-o", os.environ["BENCH_PERF"], "-p", str(b.tamberlin.pid)], "perf")
    b.start_all()
    while b.record_lines() < count:
        time.sleep(0.2)
    cpu, wall = b.cpu_seconds() - cpu0, time.monotonic() - wall0
    rss = b.rss_kib()
    for p in b.processes[1:1 + count]:  # the gateways, which print their figures as they end
        p.wait(30)
    print(f"== {count} slots, script {size} bytes, tamberlin --station started with F5")
    print(f"{'port':6} {'phase s':>9} {'bound s':>9} {'ratio':>7}")
    worst = 1.0
    for com in range(FIRST_PORT, FIRST_PORT + count):
        text = (b.work / f"sim-{com}.txt").read_text()
        words = text.split("data phase ")[1].split()
        ms, chars = int(words[0]), int(words[3])
        bound = chars * 10 / 9600
        ratio = bound / (ms / 1000)
        worst = min(worst, ratio)
        print(f"COM{com:<3} {ms / 1000:9.2f} {bound:9.2f} {ratio:7.3f}")
    print(f"worst ratio {worst:.3f}; tamberlin: {wall:.1f} s wall, {cpu:.2f} s CPU "
          f"({100 * cpu / wall:.2f} % of one core), resident {rss / 1024:.1f} MiB")


def memory(b, writes, count):
    script = b.work / "script.qcs"
    script.write_bytes(os.urandom(2048))
    b.x_server()
    b.gateways(count, "--restart-ms", "300")
    b.store_station(script, count)
    b.program()
    print(f"== {writes} writes in a row over {count} slots, 2048 bytes each")
    print(f"{'writes':>6} {'resident MiB':>13}")
    done = 0
    while done < writes:
        b.start_all()
        target = done + count
        end = time.monotonic() + 60
        while b.record_lines() < target and time.monotonic() < end:
            time.sleep(0.1)
        if b.record_lines() < target:
            raise SystemExit(f"round after {done} writes did not end")
        done = target
        time.sleep(0.3)
        print(f"{done:6} {b.rss_kib() / 1024:13.2f}")


def main():
    b = Bench()
    try:
        if MODE == "speed":
            speed(b, int(sys.argv[3]) if len(sys.argv) > 3 else 8, int(sys.argv[4]) if len(sys.argv) > 4 else 16384)
        elif MODE == "memory":
            memory(b, int(sys.argv[3]) if len(sys.argv) > 3 else 200, int(sys.argv[4]) if len(sys.argv) > 4 else 8)
        else:
            raise SystemExit(__doc__)
    finally:
        b.stop()


if __name__ == "__main__":
    main()
