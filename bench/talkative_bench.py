#!/usr/bin/env python3
"""A gateway that talks at full line rate while the window program is connected and idle.

Opens a pseudo-terminal, publishes it as COM<port> in the port map, writes text to it at 9600 8N1
speed (960 bytes/s) for the given time, and samples the program's resident memory and CPU time
every 10 s from /proc (CPU from the scheduler's per-thread run time). Prints the memory growth after the first minute and the CPU share.

    bench/talkative_bench.py [build-dir] [seconds]

BENCH_PROGRAM=floor runs bench-serial-floor (a QApplication that only reads the line) instead.
"""
import os
import pty
import shutil
import subprocess
import sys
import tempfile
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
seconds = int(sys.argv[2]) if len(sys.argv) > 2 else 600
port = int(os.environ.get("BENCH_PORT", "47"))


def cpu_seconds(pid):
    # The scheduler's own count in nanoseconds, over every thread: exact, where the tick-based
    # figures of /proc/<pid>/stat are estimates.
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{task}/schedstat") as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total / 1e9


def sample(pid):
    cpu = cpu_seconds(pid)
    with open(f"/proc/{pid}/status") as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return cpu, rss / 1024.0


def main():
    work = tempfile.mkdtemp()
    try:
        config = os.path.join(work, "config")
        ports = os.path.join(config, "Quarnel", "ports")
        os.makedirs(ports)
        master, slave = pty.openpty()
        os.symlink(os.ttyname(slave), os.path.join(ports, f"com{port}"))
        with open(os.path.join(config, "Quarnel", "Tamberlin.reg"), "w", newline="") as f:
            f.write("Windows Registry Editor Version 5.00\r\n\r\n"
                    "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"
                    f"\"PortNumber\"=\"COM{port}\"\r\n")
        env = dict(os.environ, XDG_CONFIG_HOME=config, QT_QPA_PLATFORM="offscreen", QT_QPA_PLATFORMTHEME="")
        # BENCH_PROGRAM=floor: a bare Qt reader of the same line, for what the event loop costs.
        floor = os.environ.get("BENCH_PROGRAM") == "floor"
        command = ([os.path.join(build, "bench-serial-floor"), os.ttyname(slave)] if floor
                   else [os.path.join(build, "tamberlin")])
        program = subprocess.Popen(command, env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2)
        os.set_blocking(master, False)
        text = b"KORVANE status: all channels running, no faults, cycle 4711 ms\r\n"
        start = time.monotonic()
        sent = 0
        samples = []
        next_sample = start
        while time.monotonic() - start < seconds:
            now = time.monotonic()
            due = int((now - start) * 960) - sent
            while due > 0:
                try:
                    n = os.write(master, text[: min(due, len(text))])
                except BlockingIOError:
                    break
                sent += n
                due -= n
            try:
                os.read(master, 4096)
            except (BlockingIOError, OSError):
                pass
            if now >= next_sample:
                samples.append((now - start, *sample(program.pid)))
                next_sample += 10
            time.sleep(0.01)
        samples.append((time.monotonic() - start, *sample(program.pid)))
        program.terminate()
        program.wait(10)
        first_minute = next(s for s in samples if s[0] >= 60) if seconds >= 70 else samples[0]
        last = samples[-1]
        cpu_share = 100 * (last[1] - samples[0][1]) / (last[0] - samples[0][0])
        print(f"talked {sent} bytes in {last[0]:.0f} s; memory {samples[0][2]:.1f} MB at start, "
              f"{first_minute[2]:.1f} MB after {first_minute[0]:.0f} s, {last[2]:.1f} MB at the end "
              f"(growth after the first minute {last[2] - first_minute[2]:.1f} MB); CPU {cpu_share:.2f} % of a core")
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()
