"""The Linux guest for the USB adapter tests: a real Debian kernel with its USB serial drivers,
udev, busybox and the project's Debian package, booted from an initramfs.

The guest is made from what this machine has or fetches as Debian packages: no installation, no
disk image. Two cpio archives, which the kernel unpacks one after the other:
- the base (kernel modules, busybox, udev): built once per machine and cached beside the Windows
  toolchain ($TAMBERLIN_TOOLCHAIN_CACHE), since it needs downloads;
- the package layer: the project's .deb unpacked, the libraries its programs load, the guest's
  init and agent. Made anew for every run in a few seconds, so a changed package is always tested.
"""
import hashlib
import os
import shutil
import stat
import subprocess
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
GUEST_FILES = HERE / "guest"

# The drivers the guest loads (see guest/init) and what they need, indexed by depmod.
MODULE_TREES = ["kernel/drivers/usb", "kernel/drivers/virtio", "kernel/drivers/char/virtio_console.ko"]
# udev's rules that give the adapter its group, its /dev/serial links and its properties.
UDEV_RULES = ["50-udev-default.rules", "60-serial.rules", "80-drivers.rules"]

# Libraries loaded with dlopen, which ldd cannot see: Qt's D-Bus module loads libdbus.
DLOPENED = ["libdbus-1.so.3"]
QT_PLUGINS = "/usr/lib/x86_64-linux-gnu/qt6/plugins"


def cache_folder():
    base = os.environ.get("TAMBERLIN_TOOLCHAIN_CACHE") or os.path.join(
        os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"), "tamberlin-toolchain")
    return Path(base)


def run(*args, **kw):
    return subprocess.run(list(args), check=True, **kw)


def apt_version(package):
    out = subprocess.run(["apt-cache", "policy", package], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.strip().startswith("Candidate:"):
            return line.split(":", 1)[1].strip()
    raise SystemExit(f"usb guest: Debian has no package {package}")


def kernel_package():
    out = subprocess.run(["apt-cache", "depends", "linux-image-amd64"], capture_output=True,
                         text=True, check=True).stdout
    for line in out.splitlines():
        name = line.split(":", 1)[-1].strip()
        if line.strip().startswith("Depends:") and name.startswith("linux-image-"):
            return name
    raise SystemExit("usb guest: cannot tell which kernel linux-image-amd64 brings")


def download(packages, into):
    """apt-get download into a folder that apt's sandbox user may write."""
    into.mkdir(parents=True, exist_ok=True)
    run("apt-get", "download", "-q", "-o", "APT::Sandbox::User=root", *packages, cwd=into,
        stdout=subprocess.DEVNULL)
    return sorted(into.glob("*.deb"))


# --- cpio (newc), as the kernel unpacks it -----------------------------------------------------

class Cpio:
    def __init__(self, path):
        self.out = open(path, "wb")
        self.ino = 1

    def _header(self, name, mode, size, nlink=1, rdev=(0, 0)):
        name_bytes = name.encode() + b"\0"
        fields = [self.ino, mode, 0, 0, nlink, 0, size, 0, 0, rdev[0], rdev[1], len(name_bytes), 0]
        self.ino += 1
        self.out.write(b"070701" + b"".join(b"%08X" % f for f in fields) + name_bytes)
        self._pad()

    def _pad(self):
        self.out.write(b"\0" * (-self.out.tell() % 4))

    def add_tree(self, root):
        """Every entry below root, folders before what they hold, with its own mode."""
        root = Path(root)
        for dirpath, dirs, files in os.walk(root):
            dirs.sort()
            for name in sorted(dirs) + sorted(files):
                path = Path(dirpath) / name
                rel = str(path.relative_to(root))
                st = os.lstat(path)
                if stat.S_ISLNK(st.st_mode):
                    target = os.readlink(path).encode()
                    self._header(rel, st.st_mode, len(target))
                    self.out.write(target)
                elif stat.S_ISDIR(st.st_mode):
                    self._header(rel, st.st_mode, 0, nlink=2)
                    continue
                else:
                    self._header(rel, st.st_mode, st.st_size)
                    with open(path, "rb") as f:
                        shutil.copyfileobj(f, self.out)
                self._pad()

    def close(self):
        self._header("TRAILER!!!", 0, 0)
        self.out.write(b"\0" * (-self.out.tell() % 512))
        self.out.close()


# --- the files a program needs ------------------------------------------------------------------

def copy_into(root, path):
    """Copies path to the same place below root, with the links that lead to it."""
    path = Path(path)
    dest = root / path.relative_to("/")
    if dest.exists() or dest.is_symlink():
        return
    dest.parent.mkdir(parents=True, exist_ok=True)
    if path.is_symlink():
        target = os.readlink(path)
        os.symlink(target, dest)
        copy_into(root, (path.parent / target) if not os.path.isabs(target) else Path(target))
    elif path.is_dir():
        shutil.copytree(path, dest, symlinks=True)
    else:
        shutil.copy2(path, dest)


def needed_libraries(binaries, search_path=""):
    env = dict(os.environ, LD_LIBRARY_PATH=search_path)
    libs = set()
    for binary in binaries:
        out = subprocess.run(["ldd", str(binary)], capture_output=True, text=True, env=env).stdout
        for line in out.splitlines():
            parts = line.split()
            if "=>" in parts and len(parts) >= 3 and parts[2].startswith("/"):
                libs.add(parts[2])
            elif parts and parts[0].startswith("/"):
                libs.add(parts[0])
            if "not found" in line:
                raise SystemExit(f"usb guest: {binary} needs {parts[0]}, which this machine lacks")
    return sorted(libs)


# --- the base -----------------------------------------------------------------------------------

def base_image():
    """(kernel, base cpio) for this machine, built once; rebuilt when Debian's kernel or udev moves."""
    kernel_pkg = kernel_package()
    udev_version = apt_version("udev")
    key = hashlib.sha256(f"{kernel_pkg} {apt_version(kernel_pkg)} {udev_version} "
                         f"{(HERE / 'guest_image.py').read_bytes()!r}".encode()).hexdigest()[:12]
    folder = cache_folder() / f"usb-guest-{kernel_pkg}-{key}"
    kernel, base = folder / "vmlinuz", folder / "base.cpio"
    if (folder / ".complete").exists():
        return kernel, base
    for older in cache_folder().glob("usb-guest-*"):
        shutil.rmtree(older, ignore_errors=True)
    folder.mkdir(parents=True)
    with tempfile.TemporaryDirectory(dir=folder) as work:
        work = Path(work)
        debs = download([kernel_pkg, "udev"], work / "debs")
        unpacked = work / "unpacked"
        for deb in debs:
            run("dpkg-deb", "-x", str(deb), str(unpacked))
        root = work / "root"
        release = _add_kernel(unpacked, root, kernel)
        _add_udev(unpacked, root)
        _add_busybox(root)
        cpio = Cpio(base)
        cpio.add_tree(root)
        cpio.close()
        (folder / "release").write_text(release + "\n")
    (folder / ".complete").touch()
    return kernel, base


def _add_kernel(unpacked, root, kernel):
    vmlinuz = next((unpacked / "boot").glob("vmlinuz-*"))
    shutil.copy2(vmlinuz, kernel)
    release = vmlinuz.name[len("vmlinuz-"):]
    modules = unpacked / "lib/modules" / release
    dest = root / "lib/modules" / release
    for tree in MODULE_TREES:
        (dest / tree).parent.mkdir(parents=True, exist_ok=True)
        if (modules / tree).is_dir():
            shutil.copytree(modules / tree, dest / tree)
        else:
            shutil.copy2(modules / tree, dest / tree)
    for index in [*modules.glob("modules.builtin*"), modules / "modules.order"]:
        shutil.copy2(index, dest / index.name)
    run("depmod", "-b", str(root), release)
    return release


def _add_udev(unpacked, root):
    (root / "bin").mkdir(parents=True, exist_ok=True)
    shutil.copy2(unpacked / "bin/udevadm", root / "bin/udevadm")
    for lib in needed_libraries([unpacked / "bin/udevadm"]):
        copy_into(root, lib)
    (root / "lib/systemd").mkdir(parents=True, exist_ok=True)
    os.symlink("/bin/udevadm", root / "lib/systemd/systemd-udevd")
    rules = root / "lib/udev/rules.d"
    rules.mkdir(parents=True, exist_ok=True)
    for rule in UDEV_RULES:
        shutil.copy2(unpacked / "lib/udev/rules.d" / rule, rules / rule)
    (root / "etc/udev").mkdir(parents=True, exist_ok=True)
    shutil.copy2(unpacked / "etc/udev/udev.conf", root / "etc/udev/udev.conf")


def _add_busybox(root):
    busybox = Path("/bin/busybox")
    if "statically linked" not in subprocess.run(["file", "-L", str(busybox)], capture_output=True,
                                                 text=True).stdout:
        raise SystemExit("usb guest: /bin/busybox is not the static one (Debian's busybox-static)")
    (root / "bin").mkdir(parents=True, exist_ok=True)
    shutil.copy2(busybox, root / "bin/busybox")
    os.symlink("busybox", root / "bin/sh")


# --- the package layer --------------------------------------------------------------------------

def package_layer(deb, out):
    """The project's package unpacked with what its programs load, and the guest's own files."""
    with tempfile.TemporaryDirectory() as work:
        root = Path(work)
        run("dpkg-deb", "-x", str(deb), str(root))
        programs = [root / "usr/bin/tamberlin", root / "usr/bin/tamberlin-cli"]
        plugin = Path(QT_PLUGINS) / "platforms/libqoffscreen.so"
        extra = [Path("/usr/bin/dbus-daemon"), plugin]
        for path in extra:
            copy_into(root, path)
        for lib in needed_libraries(programs + extra) + [_find_library(name) for name in DLOPENED]:
            copy_into(root, lib)
        for data in ["/usr/share/dbus-1/session.conf", "/usr/share/fonts/truetype/dejavu",
                     "/etc/fonts"]:
            if os.path.exists(data):
                copy_into(root, data)
        shutil.copytree(GUEST_FILES, root, symlinks=True, dirs_exist_ok=True)
        cpio = Cpio(out)
        cpio.add_tree(root)
        cpio.close()


def _find_library(name):
    out = subprocess.run(["/sbin/ldconfig", "-p"], capture_output=True, text=True).stdout
    for line in out.splitlines():
        if line.strip().startswith(name + " ") and "x86-64" in line:
            return line.split("=>")[1].strip()
    raise SystemExit(f"usb guest: this machine lacks {name}")
