#!/usr/bin/env python3
"""Tamberlin's Debian package in a Linux guest with a real kernel, talking through the kernel's
ftdi_sio driver to QEMU's emulated FTDI adapter, whose far end is korvane-sim on this machine.
The adapter is pulled and plugged as a technician does, through QEMU's machine protocol.

Usage: test_usb_adapter.py BUILD [CASE...]   (BUILD holds korvane-sim and tamberlin_*.deb)
Environment: TAMBERLIN_USB_ACCEL (default "tcg"; "kvm,tcg" tries KVM first);
TAMBERLIN_USB_KEEP=1 keeps the work folder."""
import base64
import csv
import json
import os
import random
import shutil
import sys
import tempfile
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import guest_image  # noqa: E402
from usb_guest import ADAPTER_SERIAL, Gateway, Guest  # noqa: E402

BY_ID = f"/dev/serial/by-id/usb-QEMU_QEMU_USB_SERIAL_{ADAPTER_SERIAL}-if00-port0"
INTERFACE_PATH = f"\\\\?\\USB#VID_0403&PID_6001#{ADAPTER_SERIAL}#{{a5dcbf10-6530-11d2-901f-00c04fb951ed}}"
GUI = "QT_QPA_PLATFORM=offscreen TAMBERLIN_LOG=/tmp/{name}.log"
SETTINGS = ('printf \'Windows Registry Editor Version 5.00\\r\\n\\r\\n[HKEY_CURRENT_USER\\\\SOFTWARE'
            '\\\\Quarnel\\\\Tamberlin\\\\kvSerialOptionCaption]\\r\\n"PortNumber"="COM{n}"\\r\\n\' '
            '> $HOME/.config/Quarnel/Tamberlin.reg')
SCRIPTS = {"small": 1024, "large": 6144}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Bench:
    """One guest for every case; each case starts from a clean technician's account, no adapter
    and a fresh gateway."""

    def __init__(self, build, work, guest):
        self.build, self.work, self.guest = build, work, guest
        self.gateway = None
        self.scripts = {}
        rng = random.Random(24)
        for name, size in SCRIPTS.items():
            data = bytes(rng.randrange(256) for _ in range(size))
            self.scripts[name] = data
            b64 = base64.b64encode(data).decode()
            code, out = guest.sh(f"echo {b64} | base64 -d > /tmp/{name}.qcs; chmod 644 /tmp/{name}.qcs")
            check(code == 0, out)

    def reset(self, *gateway_options, plug=True, socket_number=1):
        g = self.guest
        g.sh("killall -q tamberlin tamberlin-cli dbus-daemon; sleep 0.3; killall -q -9 tamberlin "
             "tamberlin-cli; rm -rf /home/tech/.config /tmp/*.log /tmp/*.json /tmp/*.rc /run/user/1000/*; "
             "su tech -s /bin/sh -c 'mkdir -p /home/tech/.config/Quarnel'")
        if g.plugged:
            g.pull()
        if self.gateway:
            g.detach()
            self.gateway.stop()
        self.gateway = Gateway(self.build, self.work, "--restart-ms", "500", *gateway_options)
        g.attach(self.gateway)
        if plug:
            g.plug(socket_number)
            # A real FT232's latency timer starts at 16 ms; QEMU's starts at 0.
            g.sh("echo 16 > /sys/bus/usb-serial/devices/ttyUSB0/latency_timer")

    def received(self):
        summary, data = self.gateway.stop()
        if self.guest.plugged:
            self.guest.pull()
        self.guest.detach()
        self.gateway = Gateway(self.build, self.work, "--restart-ms", "500")
        self.guest.attach(self.gateway)
        return summary, data

    def wait_for(self, what, script, timeout=30):
        """Runs script in the guest until it succeeds; its output."""
        end = time.monotonic() + timeout
        while True:
            code, out = self.guest.sh(script)
            if code == 0:
                return out
            if time.monotonic() > end:
                raise Failure(f"{what}: not within {timeout} s; last output: {out.strip()[-1500:]}")
            time.sleep(0.2)

    def log_has(self, name, text, timeout=30):
        """Waits until the log shows the text, or one of the texts of a tuple."""
        texts = text if isinstance(text, tuple) else (text,)
        patterns = " ".join(f"-e {sh_quote(t)}" for t in texts)
        try:
            self.wait_for(f"/tmp/{name}.log shows {' or '.join(map(repr, texts))}",
                          f"grep -F -q {patterns} /tmp/{name}.log", timeout)
        except Failure as failure:
            raise Failure(f"{failure}\n--- /tmp/{name}.log ends:\n{self.log(name)[-4000:]}") from None

    def log(self, name):
        return self.guest.sh(f"cat /tmp/{name}.log")[1]

    def holds_adapter(self, name):
        """Whether the window program started with TAMBERLIN_LOG=/tmp/<name>.log has the tty open."""
        code, _ = self.guest.sh(
            f"for p in $(pidof tamberlin); do grep -q /tmp/{name}.log /proc/$p/environ && "
            f"ls -l /proc/$p/fd | grep -q ttyUSB && exit 0; done; exit 1")
        return code == 0

    def wait_until_holds(self, name, timeout=20):
        end = time.monotonic() + timeout
        while not self.holds_adapter(name):
            if time.monotonic() > end:
                raise Failure(f"the window program ({name}) does not hold the adapter:\n{self.log(name)[-3000:]}")
            time.sleep(0.2)

    def start_window(self, name, arguments=""):
        env = GUI.format(name=name)
        code, out = self.guest.tech(f"{env} setsid tamberlin {arguments} >/tmp/{name}.out 2>&1 &")
        check(code == 0, out)


def sh_quote(text):
    return "'" + text.replace("'", "'\\''") + "'"


def json_lines(text):
    return [json.loads(line) for line in text.splitlines() if line.startswith("{")]


def trace_since(bench, mark):
    return bench.guest.trace_lines()[mark:]


# --- cases --------------------------------------------------------------------------------------

def case_ports_and_find_give_the_adapter_a_number(bench):
    bench.reset()
    code, out = bench.guest.tech("tamberlin-cli ports --json")
    check(code == 0, f"ports ended with {code}: {out}")
    ports = {e["port"]: e for e in json_lines(out) if e["event"] == "port"}
    check("COM3" in ports, f"the adapter has no COM3 entry: {out}")
    com3 = ports["COM3"]
    check(com3["target"] == BY_ID and com3["present"] and com3["automatic"],
          f"COM3 should lead to {BY_ID}, present and automatic: {com3}")
    usb = com3["usb"] or {}
    check((usb.get("vendor"), usb.get("product"), usb.get("serial")) == ("0403", "6001", ADAPTER_SERIAL),
          f"COM3's USB identity: {usb}")
    code, out = bench.guest.tech("readlink $HOME/.config/Quarnel/ports/com3")
    check(out.strip() == BY_ID, f"the port map's entry: {out}")
    code, out = bench.guest.tech("tamberlin-cli find --json")
    check(code == 0, f"find ended with {code}: {out}")
    summary = json_lines(out)[-1]
    check(summary.get("port") == "COM3" and summary.get("ok"), f"find: {out}")
    code, out = bench.guest.tech("tamberlin-cli ports")
    check("0403:6001" in out and ADAPTER_SERIAL in out, f"ports' table lacks the identity: {out}")


def case_cli_writes_through_the_driver(bench):
    bench.reset()
    bench.guest.tech("tamberlin-cli ports >/dev/null")
    mark = len(bench.guest.trace_lines())
    code, out = bench.guest.tech("tamberlin-cli write --port COM3 --json /tmp/small.qcs")
    check(code == 0, f"write ended with {code}: {out}")
    result = [e for e in json_lines(out) if e["event"] == "result"][-1]
    check(result["ok"] and result["interface"] == "configuration" and result["bytes"] == SCRIPTS["small"],
          f"result: {result}")
    code, out = bench.guest.sh("cat /sys/bus/usb-serial/devices/ttyUSB0/latency_timer")
    check(out.strip() == "16", f"the latency timer after the write: {out}")
    summary, data = bench.received()
    check(data == bench.scripts["small"], f"the gateway received {len(data)} bytes, not the script: {summary}")
    trace = "\n".join(trace_since(bench, mark))
    for line_setting in ["baud rate 9600", "parity N, data bits 8, stop bits 1", "flow control 0"]:
        check(line_setting in trace, f"the driver was not given {line_setting}:\n{trace[-3000:]}")
    latency = [line.rsplit(" ", 1)[1] for line in trace.splitlines() if "got control 0x4009" in line]
    check("0x1" in latency, f"the adapter was never asked for 1 ms latency while open: {latency}")
    check(latency[-1] == "0x10", f"the latency timer was not put back to 16 ms at close: {latency}")


def case_doctor_names_the_adapter_and_its_latency(bench):
    bench.reset()
    bench.guest.tech("tamberlin-cli ports >/dev/null")
    code, out = bench.guest.tech("tamberlin-cli doctor")
    check("0403:6001" in out and ADAPTER_SERIAL in out, f"the doctor does not name the adapter: {out}")
    check("16 ms" in out and "latency_timer" in out, f"the doctor does not report the latency timer: {out}")
    check(code == 0, f"a latency timer that Tamberlin overrides while it writes needs no fixing: {code}\n{out}")
    bench.guest.sh("echo 1 > /sys/bus/usb-serial/devices/ttyUSB0/latency_timer")
    code, out = bench.guest.tech("tamberlin-cli doctor")
    check("latency_timer" not in out, f"a latency of 1 ms needs no fix: {out}")


def case_cli_adapter_pulled_mid_download(bench):
    bench.reset()
    bench.guest.tech("tamberlin-cli ports >/dev/null")
    bench.guest.tech("(tamberlin-cli write --port COM3 --json /tmp/large.qcs >/tmp/w.json 2>/tmp/w.err; "
                     "echo $? >/tmp/w.rc) &")
    bench.wait_for("the download to be under way",
                   "grep '\"event\":\"progress\"' /tmp/w.json | grep -q -v '\"done\":0,'", 60)
    bench.guest.pull()
    out = bench.wait_for("tamberlin-cli to end", "cat /tmp/w.rc", 60)
    check(out.strip() == "7", f"exit code {out.strip()}, not 7: {bench.guest.sh('cat /tmp/w.json /tmp/w.err')[1]}")
    events = json_lines(bench.guest.sh("cat /tmp/w.json")[1])
    result = [e for e in events if e["event"] == "result"][-1]
    check(not result["ok"] and result["code"] == 7, f"result: {result}")
    _, data = bench.received()
    check(data != bench.scripts["large"], "the gateway has the whole script although the adapter was pulled")


def case_window_adapter_pulled_mid_download(bench):
    bench.reset()
    bench.guest.tech("tamberlin-cli ports >/dev/null; " + SETTINGS.format(n=3))
    # A bare script path: after a failure the program stays open, as after the button.
    bench.start_window("gui", "/tmp/large.qcs")
    bench.log_has("gui", "programming", 60)
    time.sleep(1.5)
    bench.guest.pull()
    # The failure: a block without its dot, or, where the pull came after the last block (a slow
    # machine), a restart that never comes.
    failure = ("Message: Error writing script", "Message: Device did not restart as expecetd.")
    for text in ["KV_Serial onComError Code: -161", "DeviceRead - waiting for com send Msg 2, 0",
                 "USBgo ++++++++++++++++++++++++++++++", failure, "Port ist nicht da - BLINK mit tag senden"]:
        bench.log_has("gui", text, 60)
    check(not bench.holds_adapter("gui"), "the program holds the port of a pulled adapter")
    bench.guest.plug(2)  # another socket: another place on the bus, the same COM number
    bench.log_has("gui", "#### " + INTERFACE_PATH, 20)
    bench.log_has("gui", "TimerWaitingForComTimer - port ist da", 20)
    bench.log_has("gui", "und offen jetzt wieder offen  yes", 20)
    bench.wait_until_holds("gui")
    _, data = bench.received()
    check(data != bench.scripts["large"], "the gateway has the whole script although the adapter was pulled")


def case_window_adapter_pulled_and_plugged_while_idle(bench):
    # A new machine: no port map yet; the technician chose COM3 for the adapter that is plugged in.
    bench.reset()
    bench.guest.tech(SETTINGS.format(n=3))
    bench.start_window("gui")
    bench.wait_until_holds("gui", 30)
    bench.guest.pull()
    for text in ["USBgo ++++++++++++++++++++++++++++++", "USBgo aber nicht connected also kein Timer starten",
                 "KV_Serial onComError Code: -161", "Port ist nicht da - BLINK mit tag senden"]:
        bench.log_has("gui", text, 20)
    bench.guest.plug(3)
    bench.log_has("gui", "#### " + INTERFACE_PATH, 20)
    bench.log_has("gui", "USBcome aber nicht connected also nichts tun", 20)
    bench.log_has("gui", "und offen jetzt wieder offen  yes", 20)
    bench.wait_until_holds("gui")


def case_window_offers_the_new_port(bench):
    bench.reset(plug=False)
    bench.guest.tech(SETTINGS.format(n=5))
    bench.start_window("gui")
    bench.log_has("gui", "BadId - bad or unsupported ID - waiting for com", 30)
    bench.guest.plug(1)
    bench.log_has("gui", "A USB serial device has been connected as COM3.", 30)


def case_two_copies_wait_for_one_port(bench):
    bench.reset(plug=False)
    code, out = bench.guest.tech("dbus-daemon --session --fork --address=unix:path=/run/user/1000/bus")
    check(code == 0, f"no session bus: {out}")
    bench.guest.tech(SETTINGS.format(n=3))
    bench.start_window("one")
    bench.start_window("two")
    for name in ("one", "two"):
        bench.log_has(name, "BadId - bad or unsupported ID - waiting for com", 30)
    out = bench.wait_for("one copy to stop its wait",
                         "grep -l 'Waiting on the same COM - getting offline' /tmp/one.log /tmp/two.log", 20)
    stopped = [Path(p).stem for p in out.split()]
    check(len(stopped) == 1, f"both copies stopped waiting: {stopped}")
    waiting = "two" if stopped == ["one"] else "one"
    bench.guest.plug(1)
    bench.log_has(waiting, "und offen jetzt wieder offen  yes", 20)
    bench.wait_until_holds(waiting)
    check(not bench.holds_adapter(stopped[0]), f"copy {stopped[0]} stopped waiting but opened the port")


STATION = ('printf \'Windows Registry Editor Version 5.00\\r\\n\\r\\n[HKEY_CURRENT_USER\\\\SOFTWARE'
           '\\\\Quarnel\\\\Tamberlin\\\\Station]\\r\\n"Script"="/tmp/small.qcs"\\r\\n'
           '"SlotCount"=dword:00000001\\r\\n"Slot1"="usb:{serial}"\\r\\n"StartOnPlugIn"=dword:00000001\\r\\n\' '
           '> $HOME/.config/Quarnel/Tamberlin.reg')
RECORD = "/home/tech/.local/share/Quarnel/Tamberlin/trace.csv"


def record_rows(bench):
    text = bench.guest.sh(f"cat {RECORD} 2>/dev/null")[1].lstrip("\ufeff")
    return list(csv.DictReader(text.splitlines()))


def case_station_writes_each_plugged_gateway_once(bench):
    """The station window with start on plug-in and a slot bound to the adapter's serial number:
    the arrival starts the write, the slot waits for the adapter to go, and the next arrival (in
    another socket) writes again."""
    bench.reset(plug=False)
    bench.guest.sh(f"rm -f {RECORD}")
    bench.guest.tech(STATION.format(serial=ADAPTER_SERIAL))
    bench.start_window("gui", "--station")
    time.sleep(2)
    bench.guest.plug(1)
    try:
        bench.wait_for("a record line for the plugged gateway", f"grep -q ',written$' {RECORD}", 60)
    except Failure as failure:
        out = bench.guest.sh(f"cat /tmp/gui.out; ls -la /home/tech/.config/Quarnel/; cat {RECORD}")[1]
        raise Failure(f"{failure}\n{out}\n--- /tmp/gui.log ends:\n{bench.log('gui')[-3000:]}") from None
    time.sleep(3)  # the slot must not start again while the adapter stays
    rows = record_rows(bench)
    check(len(rows) == 1, f"expected one write while the adapter stayed plugged in, the record has {rows}")
    row = rows[0]
    check(row["port"] == "COM3" and ADAPTER_SERIAL in row["adapter"] and row["adapter"].startswith("0403:6001"),
          f"the record does not name the port and the adapter: {row}")
    check(row["interface"] == "configuration" and row["bytes_sent"] == str(SCRIPTS["small"]), f"{row}")
    bench.guest.pull()
    time.sleep(1)
    bench.guest.plug(2)
    bench.wait_for("a second record line after the adapter came back",
                   f"test $(grep -c ',written$' {RECORD}) -ge 2", 60)
    _, data = bench.received()
    check(data == bench.scripts["small"], "the gateway did not receive the script")


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    build = Path(sys.argv[1]).resolve()
    wanted = sys.argv[2:] or list(CASES)
    unknown = [w for w in wanted if w not in CASES]
    if unknown:
        sys.exit(f"unknown cases: {unknown}; known: {list(CASES)}")
    debs = sorted(build.glob("tamberlin_*.deb"), key=lambda p: p.stat().st_mtime)
    if not debs:
        sys.exit(f"no tamberlin_*.deb in {build} (make package)")
    work = Path(tempfile.mkdtemp(prefix="tamberlin-usb-"))
    started = time.monotonic()
    kernel, base = guest_image.base_image()
    layer = work / "package.cpio"
    guest_image.package_layer(debs[-1], layer)
    initrd = work / "initrd.cpio"
    with open(initrd, "wb") as out:
        for part in (base, layer):
            with open(part, "rb") as f:
                shutil.copyfileobj(f, out)
    accel = os.environ.get("TAMBERLIN_USB_ACCEL", "tcg")
    print(f"usb: guest image ready in {time.monotonic() - started:.1f} s ({debs[-1].name}); booting ({accel})",
          flush=True)
    guest = Guest(kernel, initrd, work, accel)
    print(f"usb: guest booted in {guest.boot_seconds:.1f} s", flush=True)
    failures = []
    bench = Bench(build, work, guest)
    try:
        for name in wanted:
            t0 = time.monotonic()
            try:
                CASES[name](bench)
                print(f"PASS {name} ({time.monotonic() - t0:.1f} s)", flush=True)
            except Exception as e:
                failures.append(name)
                detail = str(e) if isinstance(e, Failure) else traceback.format_exc()
                print(f"FAIL {name} ({time.monotonic() - t0:.1f} s): {detail}", flush=True)
    finally:
        if bench.gateway:
            bench.gateway.stop()
        guest.close()
    print(f"usb: {len(wanted) - len(failures)}/{len(wanted)} passed in {time.monotonic() - started:.0f} s",
          flush=True)
    if os.environ.get("TAMBERLIN_USB_KEEP") or failures:
        print(f"usb: work folder kept: {work}")
    else:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
