#!/usr/bin/env python3
"""Round trip through a program that echoes on a serial port: one byte written at the far end of
a pseudo-terminal, its echo read back, as a handshake dot and the next data byte. Prints the
median, 90th and 99th percentile.

  serial_roundtrip.py LINK ROUNDS -- COMMAND...

LINK is made a symbolic link to the terminal before COMMAND starts (a port-map entry, or the
path Wine's port mapping points at)."""
import os
import select
import subprocess
import sys
import time
import tty


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * (len(values) - 1) + 0.5))]


def main():
    if len(sys.argv) < 5 or sys.argv[3] != "--":
        sys.exit(__doc__)
    link, rounds, command = sys.argv[1], int(sys.argv[2]), sys.argv[4:]
    master, slave = os.openpty()
    tty.setraw(slave)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(os.ttyname(slave), link)
    program = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    if "echoing" not in program.stdout.readline():
        sys.exit("the echo program did not start")
    times = []
    for i in range(rounds):
        time.sleep(0.005)
        start = time.perf_counter()
        os.write(master, bytes([i % 256]))
        if not select.select([master], [], [], 2.0)[0]:
            sys.exit(f"round {i}: no echo")
        os.read(master, 64)
        times.append((time.perf_counter() - start) * 1000)
    program.wait()
    print(f"round trip over {rounds} rounds: median {percentile(times, 0.5):.3f} ms, "
          f"p90 {percentile(times, 0.9):.3f} ms, p99 {percentile(times, 0.99):.3f} ms")


if __name__ == "__main__":
    main()
