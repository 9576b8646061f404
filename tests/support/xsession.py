"""Programs under test on a private X server (Xvfb), each with its output in a file of the work
folder, all ended together: for the tests and benchmarks that drive a window with xdotool."""
import os
import subprocess
import time
from pathlib import Path


def start_xvfb(env, screen, **popen):
    """Xvfb on a free display, which it names itself; env's DISPLAY then points there."""
    read, write = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", screen, "-nolisten", "tcp"],
                            pass_fds=(write,), **popen)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            raise RuntimeError("Xvfb did not start")
        number += chunk
    os.close(read)
    env["DISPLAY"] = ":" + number.decode().strip()
    return xvfb


class XSession:
    def __init__(self, work: Path, env: dict):
        self.work = work
        self.env = env
        self.env.pop("QT_QPA_PLATFORM", None)
        self.processes = []

    def start(self, args, name, **kw):
        """Starts a program with its output in <work>/<name>.txt."""
        out = open(self.work / f"{name}.txt", "w")
        p = subprocess.Popen(args, env=self.env, stdout=out, stderr=subprocess.STDOUT, **kw)
        self.processes.append(p)
        return p

    def x_server(self):
        """Starts Xvfb on a free display and points DISPLAY there."""
        out = open(self.work / "xvfb.txt", "w")
        self.processes.append(start_xvfb(self.env, "1600x1000x24", stdout=out, stderr=subprocess.STDOUT))

    def xdotool(self, *args, check=True):
        return subprocess.run(["xdotool", *args], env=self.env, check=check, capture_output=True,
                              text=True).stdout

    def find_window(self, title, seconds):
        """The id of the window with exactly this title, once it is there; None after seconds."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            found = self.xdotool("search", "--name", f"^{title}$", check=False).split()
            if found:
                return found[0]
            time.sleep(0.1)
        return None

    def window_names(self):
        """Every named window, for saying what is on the screen instead."""
        ids = self.xdotool("search", "--name", ".", check=False).split()
        return [self.xdotool("getwindowname", i, check=False).strip() for i in ids]

    def stop(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
