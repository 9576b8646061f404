"""A Linux guest under QEMU with an emulated FTDI USB serial adapter whose far end is korvane-sim
on this machine, and the means to run commands in the guest and to pull and plug the adapter."""
import base64
import json
import os
import re
import signal
import socket
import subprocess
import time
from pathlib import Path

ADAPTER_SERIAL = "GW0001"


class Gateway:
    """korvane-sim on a pseudo-terminal of this machine: the gateway behind the adapter."""

    def __init__(self, build, work, *options):
        self.out = Path(work) / "received.bin"
        self.out.unlink(missing_ok=True)
        env = dict(os.environ, XDG_CONFIG_HOME=str(Path(work) / "host-config"))
        self.proc = subprocess.Popen(
            [str(Path(build) / "korvane-sim"), "--com", "42", "--replace", "--pace", "--out",
             str(self.out), *options],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env)
        line = self.proc.stdout.readline()
        match = re.search(r"ready on (\S+)", line)
        if not match:
            raise RuntimeError(f"korvane-sim did not start: {line}{self.proc.stdout.read()}")
        self.pty = match.group(1)
        self.summary = ""

    def stop(self):
        """Ends the simulator; its summary line and the script bytes it received."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
        self.summary = self.proc.communicate(timeout=20)[0].strip()
        return self.summary, self.out.read_bytes() if self.out.exists() else b""


class Guest:
    def __init__(self, kernel, initrd, work, accel):
        self.work = Path(work)
        self.trace = self.work / "qemu-trace.log"
        self.console = self.work / "guest-console.log"
        qmp, agent = self.work / "qmp.sock", self.work / "agent.sock"
        for path in (qmp, agent, self.trace):
            path.unlink(missing_ok=True)
        self.proc = subprocess.Popen(
            ["qemu-system-x86_64", *[a for name in accel.split(",") for a in ("-accel", name)], "-m", "1024", "-smp", "1", "-nographic",
             "-no-reboot", "-kernel", str(kernel), "-initrd", str(initrd),
             "-append", "console=ttyS0 panic=-1 loglevel=4",
             "-serial", f"file:{self.console}", "-monitor", "none",
             "-qmp", f"unix:{qmp},server=on,wait=off",
             "-device", "qemu-xhci,id=xhci",
             "-chardev", f"socket,id=agent,path={agent},server=on,wait=off",
             "-device", "virtio-serial-pci", "-device", "virtconsole,chardev=agent",
             "-trace", f"enable=usb_serial_*,file={self.trace}"],
            stdout=open(self.work / "qemu.log", "w"), stderr=subprocess.STDOUT)
        self.qmp = _connect(qmp, self.proc)
        self.qmp_file = self.qmp.makefile("rw")
        self.events = []
        self._qmp_read()  # the greeting
        self.command("qmp_capabilities")
        self.agent = _connect(agent, self.proc)
        self.agent_buffer = b""
        started = time.monotonic()
        self._agent_until(b"@@agent ready\n", 120)
        self.boot_seconds = time.monotonic() - started
        self.plugged = False

    # --- QEMU's machine protocol -----------------------------------------------------------------

    def _qmp_read(self):
        line = self.qmp_file.readline()
        if not line:
            raise RuntimeError("QEMU closed its machine protocol socket")
        return json.loads(line)

    def command(self, name, **arguments):
        self.qmp_file.write(json.dumps({"execute": name, "arguments": arguments}) + "\n")
        self.qmp_file.flush()
        while True:
            reply = self._qmp_read()
            if "event" in reply:
                self.events.append(reply)
            elif "error" in reply:
                raise RuntimeError(f"QEMU {name}: {reply['error']['desc']}")
            elif "return" in reply:
                return reply["return"]

    def _wait_event(self, name, timeout):
        self.qmp.settimeout(timeout)
        try:
            while not any(e["event"] == name for e in self.events):
                self.events.append(self._qmp_read())
        finally:
            self.qmp.settimeout(None)
        self.events = [e for e in self.events if e["event"] != name]

    # --- the adapter -----------------------------------------------------------------------------

    def attach(self, gateway):
        """Connects the adapter's serial side to the gateway (before plugging)."""
        self.command("chardev-add", id="gw", backend={"type": "serial", "data": {"device": gateway.pty}})

    def detach(self):
        self.command("chardev-remove", id="gw")

    def plug(self, socket_number=1):
        """Plugs the adapter into a socket of the guest's USB controller; returns when udev is done."""
        self.command("device_add", driver="usb-serial", id="adapter", bus="xhci.0",
                     port=str(socket_number), chardev="gw", serial=ADAPTER_SERIAL)
        self.plugged = True
        code, out = self.sh("for i in $(seq 100); do [ -e /dev/serial/by-id/*"
                            f"{ADAPTER_SERIAL}* ] && break; sleep 0.1; done; udevadm settle; "
                            f"ls /dev/serial/by-id/*{ADAPTER_SERIAL}*")
        if code != 0:
            raise RuntimeError(f"the adapter did not appear in the guest: {out}")

    def pull(self):
        self.command("device_del", id="adapter")
        self._wait_event("DEVICE_DELETED", 20)
        self.plugged = False

    def trace_lines(self):
        return self.trace.read_text(errors="replace").splitlines() if self.trace.exists() else []

    # --- the guest's shell -----------------------------------------------------------------------

    def _agent_until(self, marker, timeout):
        self.agent.settimeout(timeout)
        while marker not in self.agent_buffer:
            data = self.agent.recv(65536)
            if not data:
                raise RuntimeError("the guest's agent went away; see " + str(self.console))
            self.agent_buffer += data
        head, _, self.agent_buffer = self.agent_buffer.partition(marker)
        return head

    def sh(self, script, timeout=120):
        """Runs a shell script in the guest as root; its exit code and output."""
        self.agent.sendall(base64.b64encode(script.encode()) + b"\n")
        head = self._agent_until(b"@@done ", timeout)
        code = self._agent_until(b"\n", timeout)
        return int(code), head.decode(errors="replace")

    def tech(self, command, timeout=120, env=""):
        """Runs a command as the technician (a user in group dialout) with a login's variables."""
        quoted = command.replace("'", "'\\''")
        return self.sh(f"su tech -s /bin/sh -c '. /etc/tech-session; {env} {quoted}'", timeout)

    def close(self):
        try:
            self.command("quit")
        except Exception:
            pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.proc.kill()


def _connect(path, proc):
    for _ in range(300):
        if proc.poll() is not None:
            raise RuntimeError(f"QEMU ended with {proc.returncode} before it listened on {path}")
        try:
            sock = socket.socket(socket.AF_UNIX)
            sock.connect(str(path))
            return sock
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(f"QEMU does not listen on {path}")
