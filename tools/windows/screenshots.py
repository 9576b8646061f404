#!/usr/bin/env python3
"""Screenshots of tamberlin.exe as the Windows build draws itself, under Wine on a virtual X display
(Xvfb): in Wine's own desktop window the main window and a download into korvane-sim (at real
9600-baud speed) in progress; then the station window alone, with slots written, failed and writing.
Installs Xvfb, ImageMagick, xdotool and Wine's fonts when they are missing.

Usage: screenshots.py WINDOWS_BUILD LINUX_BUILD OUT_DIR"""
import os
import shutil
import subprocess
import sys
import time

source = os.path.abspath(os.path.join(os.path.dirname(__file__), "../.."))
sys.path.insert(0, os.path.join(source, "tests/wine"))
from wine_endtoend import PORT, Sandbox, windows_path  # noqa: E402
from wine_station import press_f5, rows, station_window, store_setup, x_server  # noqa: E402

DISPLAY = ":71"
DESKTOP = "1000x700"
# The station's slots: written at full speed, vanished for good, and still writing at 9600 baud.
STATION = {43: [], 44: ["--vanish-at", "3000", "--vanish-for", "600000"], 45: ["--pace"]}


def wait_for(condition, seconds, what, log):
    deadline = time.time() + seconds
    while not condition():
        if time.time() > deadline:
            text = open(log, errors="replace").read() if os.path.exists(log) else "(no log)"
            raise SystemExit("gave up waiting for %s; the program's log:\n%s" % (what, text[-3000:]))
        time.sleep(0.2)


def log_has(path, text):
    return lambda: os.path.exists(path) and text in open(path, errors="replace").read()


def snap(box, out):
    """The Wine desktop window, cropped to what Tamberlin's windows cover."""
    subprocess.run(["import", "-display", DISPLAY, "-window", "root", "-trim", "+repage", out], env=box.env,
                   check=True)
    print("wrote", out)


def station(box, program, out_dir):
    """The station window alone, as Wine frames a window of its own, on a screen larger than the
    desktop of the other shots."""
    subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)
    # No window manager frames it on this screen: Wine draws the window's title bar itself.
    box.reg(["add", r"HKCU\Software\Wine\X11 Driver", "/v", "Decorated", "/d", "N", "/f"])
    xvfb = x_server(box)
    try:
        station_on_screen(box, program, out_dir)
    finally:
        subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)
        xvfb.kill()
        xvfb.wait()


def station_on_screen(box, program, out_dir):
    record = os.path.join(box.prefix, "drive_c/Station/trace.csv")
    os.makedirs(os.path.dirname(record), exist_ok=True)
    store_setup(box, r"C:\Scripts\line4.qcs", STATION, r"C:\Station\trace.csv")
    for com, faults in STATION.items():
        box.start_gateway(faults + ["--idle-exit", "120"], com)
    window = subprocess.Popen(["wine", program, "--station"], env=box.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    log = os.path.join(box.dir, "tamberlin.log")
    shown = station_window(box)
    press_f5(box, shown)
    wait_for(lambda: rows(record, 2), 120, "the written and the failed slot in the record", log)
    time.sleep(1)
    out = os.path.join(out_dir, "station-windows.png")
    subprocess.run(["import", "-window", shown, out], env=box.env, check=True)
    print("wrote", out)
    window.kill()
    window.wait()


def main():
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    windows_build, linux_build, out_dir = (os.path.abspath(p) for p in sys.argv[1:])
    subprocess.run([os.path.join(source, "tools/install-deps.sh"), "xvfb", "imagemagick", "fonts-wine", "xdotool"],
                   check=True)
    os.makedirs(out_dir, exist_ok=True)
    # A fresh prefix, so that it knows the fonts installed now.
    prefix = os.path.join(windows_build, "wine-screenshots-prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    xvfb = subprocess.Popen(["Xvfb", DISPLAY, "-screen", "0", DESKTOP + "x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    box = Sandbox(windows_build, linux_build, source, prefix=prefix, ports=(PORT, *STATION))
    try:
        # Wine draws on the X display: no null graphics driver in this prefix.
        subprocess.run(["wine", "reg", "delete", r"HKCU\Software\Wine\Drivers", "/v", "Graphics", "/f"],
                       env=box.env, capture_output=True)
        # Wine's own fonts (Tahoma for dialogs, Marlett for the title bar's buttons), which this
        # Wine does not take from its data folder by itself.
        fonts = os.path.join(prefix, "drive_c/windows/Fonts")
        for name in os.listdir("/usr/share/wine/fonts"):
            shutil.copy(os.path.join("/usr/share/wine/fonts", name), fonts)
        box.env.pop("QT_QPA_PLATFORM", None)
        box.env.update(DISPLAY=DISPLAY, TAMBERLIN_LOG=windows_path(os.path.join(box.dir, "tamberlin.log")))
        log = os.path.join(box.dir, "tamberlin.log")
        program = windows_path(os.path.join(windows_build, "tamberlin.exe"))
        desktop = ["wine", "explorer", "/desktop=Tamberlin," + DESKTOP]

        # A script long enough to be caught in the middle of its transfer.
        with open(os.path.join(source, "examples/example.qcs"), "rb") as f:
            script = (f.read() * 11)[:16384]
        script_path = os.path.join(prefix, "drive_c/Scripts/line4.qcs")
        os.makedirs(os.path.dirname(script_path), exist_ok=True)
        with open(script_path, "wb") as f:
            f.write(script)

        box.start_gateway(["--pace", "--idle-exit", "120"])
        box.store_port("COM%d" % PORT)
        main_window = subprocess.Popen(desktop + [program], env=box.env, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        wait_for(log_has(log, "COM"), 60, "the main window", log)
        time.sleep(3)  # the status bar's first search settles
        snap(box, os.path.join(out_dir, "windows-main-window.png"))
        main_window.kill()
        main_window.wait()
        subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)

        # The same gateway: a killed one would leave its port entry behind.
        os.remove(log)
        download = subprocess.Popen(desktop + [program, "/P%d" % PORT, r"/FC:\Scripts\line4.qcs"],
                                    env=box.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(log_has(log, "programming"), 90, "the download", log)
        time.sleep(12)  # about a third of the script at 9600 baud
        snap(box, os.path.join(out_dir, "windows-download.png"))
        download.kill()
        download.wait()

        station(box, program, out_dir)
    finally:
        subprocess.run(["wineserver", "-k"], env=box.env, capture_output=True)
        box.close()
        xvfb.kill()
        xvfb.wait()
        shutil.rmtree(prefix, ignore_errors=True)


if __name__ == "__main__":
    main()
