#!/usr/bin/env python3
"""The configuration-interface download written plainly, as the baseline of the download benchmark.

It speaks the protocol and nothing else: 0x14 and "OK", 0x10 and the optional ".", the bytes as
upper-case hexadecimal text with the output drained every 16 bytes, a "." at every block point
(the first, after 64 bytes, forgiven), the checksum line, "Restart" and the "OKOK" after it. No
log, no windows, no port manager. Exits 1 when the script was written, as `tamberlin /F` does.

    bench/plain_download.py DEVICE SCRIPT
"""
import os
import select
import sys
import termios
import time


def open_line(path):
    fd = os.open(path, os.O_RDWR | os.O_NOCTTY)
    attrs = termios.tcgetattr(fd)
    attrs[0] = 0  # iflag
    attrs[1] = 0  # oflag
    attrs[2] = termios.CS8 | termios.CREAD | termios.CLOCAL
    attrs[3] = 0  # lflag: raw
    attrs[4] = attrs[5] = termios.B9600
    termios.tcsetattr(fd, termios.TCSANOW, attrs)
    return fd


class Line:
    def __init__(self, fd):
        self.fd = fd
        self.received = b""

    def send(self, data):
        os.write(self.fd, data)

    def drain(self):
        termios.tcdrain(self.fd)

    def wait_for(self, part, seconds, ignore_case=False):
        deadline = time.monotonic() + seconds
        while True:
            text = self.received.upper() if ignore_case else self.received
            if part in text:
                return True
            left = deadline - time.monotonic()
            if left <= 0:
                return False
            if select.select([self.fd], [], [], left)[0]:
                self.received += os.read(self.fd, 4096)


def download(line, script):
    line.send(b"\x14")
    if not line.wait_for(b"OK", 1.0):
        return False
    line.send(b"\x10")
    line.received = b""
    handshake = line.wait_for(b".", 1.0)
    counter, tolerant_done, total = 32, False, 0
    for i, byte in enumerate(script):
        line.send(b"%02X" % byte)
        counter += 1
        if i % 16 == 0:
            line.drain()
        if handshake:
            if counter >= 96 and not tolerant_done:
                line.received = b""
                if line.wait_for(b".", 0.5):
                    counter = 0
                tolerant_done = True
            if counter >= 128:
                line.received = b""
                dot = line.wait_for(b".", 0.5)
                counter = 0
                if not dot:
                    return False
        elif counter >= 128:
            counter = 0
        total = (total + byte) & 0xFFFF
    line.send(b"\n%04X\n" % total)
    line.received = b""
    if not line.wait_for(b"RESTART", 15.0, ignore_case=True):
        return False
    time.sleep(1.0)
    line.received = b""
    start = time.monotonic()
    while time.monotonic() - start < 15.0:
        line.send(b"\x14")
        line.wait_for(b"\0never\0", 0.2)
        if b"OKOK" in line.received.upper():
            return True
    return False


def main():
    with open(sys.argv[2], "rb") as f:
        script = f.read()
    line = Line(open_line(sys.argv[1]))
    sys.exit(1 if download(line, script) else 0)


main()
