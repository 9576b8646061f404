#!/usr/bin/env python3
"""Plays the far end of COM43 for test_serialdevice.exe under Wine: a pseudo-terminal that answers
each line in capitals and hangs up on "bye". With TAMBERLIN_WINE_NOTE set, the run fails unless
Wine's notes on the serial driver (on standard error) contain that text.

Usage: serial_driver.py WINDOWS_BUILD SOURCE_DIR TEST_EXE [TEST_ARGS...]"""
import os
import pty
import subprocess
import sys
import threading
import tty


def far_end(master):
    pending = b""
    while True:
        try:
            data = os.read(master, 256)
        except OSError:
            return
        pending += data
        while b"\n" in pending:
            line, pending = pending.split(b"\n", 1)
            if line == b"bye":
                os.close(master)
                return
            os.write(master, line.upper() + b"\n")


def main():
    build, source, test = (os.path.abspath(p) for p in sys.argv[1:4])
    sys.path.insert(0, os.path.dirname(__file__))
    from wine_endtoend import shim
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run([os.path.join(source, "tools/windows/wine-prefix.sh"), env["WINEPREFIX"]], check=True, env=env)
    master, terminal = pty.openpty()
    tty.setraw(terminal)
    links = {43: os.ttyname(terminal)}
    changed = False
    for com, target in links.items():
        link = os.path.join(build, "wine-com%d" % com)
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(target, link)
        query = subprocess.run(["wine", "reg", "query", r"HKLM\Software\Wine\Ports", "/v", "COM%d" % com],
                               env=env, capture_output=True, text=True)
        if link not in query.stdout:
            subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", "COM%d" % com, "/d", link,
                            "/f"], env=env, check=True, capture_output=True)
            changed = True
    if changed:
        subprocess.run(["wineserver", "-k"], env=env)
    threading.Thread(target=far_end, args=(master,), daemon=True).start()
    env["LD_PRELOAD"] = shim(build, source)
    note = os.environ.get("TAMBERLIN_WINE_NOTE")
    if note:
        env["WINEDEBUG"] = "-all,fixme+comm"
    result = subprocess.run(["wine", test] + sys.argv[4:], env=env, timeout=120,
                            stderr=subprocess.PIPE if note else None, text=True, errors="replace")
    os.close(terminal)
    if note:
        sys.stderr.write(result.stderr)
        if note not in result.stderr:
            print("Wine's notes do not contain: %s" % note)
            return 1
    return result.returncode


if __name__ == "__main__":
    sys.exit(main())
