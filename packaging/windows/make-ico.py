#!/usr/bin/env python3
"""Writes a Windows icon file that holds the given PNG images (each stored as PNG, which Windows
has read since Vista). Usage: make-ico.py OUT.ico IN.png..."""
import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise SystemExit("not a PNG image")
    return struct.unpack(">II", data[16:24])


def main(out, images):
    blobs = [open(path, "rb").read() for path in images]
    offset = 6 + 16 * len(blobs)
    header = struct.pack("<HHH", 0, 1, len(blobs))
    entries = b""
    for blob in blobs:
        width, height = png_size(blob)
        # 256 pixels is written as 0 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    with open(out, "wb") as f:
        f.write(header + entries + b"".join(blobs))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2:])
