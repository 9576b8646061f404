#!/usr/bin/env python3
"""The Windows package under Wine, as a technician and a software-distribution tool use it: the setup
program in a fresh Wine prefix (folders it cannot write, an update over an older version, a second
setup, a running Tamberlin, the installed programs writing into korvane-sim, the uninstall), and the
portable zip unpacked into a folder with a space in its name.

Usage: wine_package.py WINDOWS_BUILD LINUX_BUILD SOURCE_DIR SETUP ZIP OLDER_SETUP [CASE...]"""
import glob
import os
import re
import shutil
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_endtoend import PORT, Sandbox, script_path, same_script, windows_path  # noqa: E402
import windows_files  # noqa: E402
from wine_cases import Failure, check, run_cases  # noqa: E402,F401

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tamberlin"
SETTINGS_KEY = r"HKCU\SOFTWARE\Quarnel\Tamberlin\kvSerialOptionCaption"
SHORTCUT = "ProgramData/Microsoft/Windows/Start Menu/Programs/Tamberlin.lnk"
# Without these capabilities root obeys file permissions, so a folder can be made unwritable.
UNPRIVILEGED = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search,-fowner"]


class Package:
    def __init__(self, box, setup, zip_path, older_setup):
        self.box = box
        self.setup = setup
        self.older_setup = older_setup
        self.version = re.match(r"tamberlin-(.+)-windows-x64\.zip$", os.path.basename(zip_path)).group(1)
        with zipfile.ZipFile(zip_path) as z:
            top = "tamberlin-%s-windows-x64/" % self.version
            names = [n for n in z.namelist() if not n.endswith("/")]
            check(all(n.startswith(top) for n in names), "the zip holds one folder " + top, "\n".join(names))
            self.files = {n[len(top):]: z.read(n) for n in names}

    def unix(self, windows):
        """The prefix's file for a path on drive C:."""
        check(windows[:3].upper() == "C:\\", "a path on drive C:", windows)
        return os.path.join(self.box.prefix, "drive_c", windows[3:].replace("\\", "/"))

    def cmd(self, line, unprivileged=False, timeout=180):
        """Runs a command line as cmd.exe does (the setup takes /D= unquoted, spaces and all); returns the
        full exit code, which Wine's own exit status cuts to 8 bits, and standard error."""
        batch = os.path.join(self.box.dir, "run.cmd")
        with open(batch, "w", newline="\r\n") as f:
            f.write("@echo off\n%s\necho exit=%%ERRORLEVEL%%\n" % line)
        command = ["wine", "cmd", "/c", windows_path(batch)]
        result = subprocess.run((UNPRIVILEGED if unprivileged else []) + command, env=self.box.env,
                                capture_output=True, timeout=timeout)
        out, err = result.stdout.decode(errors="replace"), result.stderr.decode(errors="replace")
        codes = re.findall(r"exit=(-?\d+)", out)
        check(codes, "cmd ran " + line, out + err)
        return int(codes[-1]), err

    def registration(self):
        """{name: value} of the uninstall registration, or None when there is none."""
        return reg_values(self.box, UNINSTALL_KEY)

    def shortcut(self):
        return os.path.join(self.box.prefix, "drive_c", SHORTCUT)

    def installed(self, folder):
        """{relative path: bytes} of the files in an installed folder."""
        found = {}
        root = self.unix(folder)
        for directory, _, names in os.walk(root):
            for name in names:
                path = os.path.join(directory, name)
                with open(path, "rb") as f:
                    found[os.path.relpath(path, root).replace(os.sep, "/")] = f.read()
        return found

    def nothing_installed(self, what, detail):
        check(self.registration() is None, what + ": no registration", detail)
        check(not os.path.exists(self.shortcut()), what + ": no shortcut", detail)


def wineserver(box, *arguments):
    subprocess.run(["wineserver"] + list(arguments), env=box.env, capture_output=True, timeout=120)


def reg_values(box, key):
    """{name: value} of a key; None only when reg says the key is not there. reg itself can fail under
    a loaded machine (a Wine server still starting): that is asked again, and never read as absent."""
    for attempt in range(4):
        result = subprocess.run(["wine", "reg", "query", key], env=box.env, capture_output=True, timeout=60)
        said = (result.stdout + result.stderr).decode(errors="replace")
        if result.returncode == 0 or "Unable to find the specified registry key" in said:
            break
        time.sleep(1)
    else:
        raise AssertionError("reg query %s failed: exit %d\n%s" % (key, result.returncode, said))
    if result.returncode != 0:
        return None
    values = {}
    for line in result.stdout.decode(errors="replace").splitlines():
        match = re.match(r"^\s+(\S+)\s+(REG_\w+)\s+(.*)$", line)
        if match:
            values[match.group(1)] = int(match.group(3), 16) if match.group(2) == "REG_DWORD" else match.group(3)
    return values


def step(name, started):
    print("  %s (%.1f s)" % (name, time.time() - started), flush=True)
    return time.time()


def bad_folders(pkg):
    """A folder without write access, and one where a file cannot be written halfway: a message, an exit
    code, and nothing left of the setup."""
    drive = pkg.unix("C:\\")
    os.makedirs(os.path.join(drive, "Locked/Tamberlin"))
    os.makedirs(os.path.join(drive, "Partial/Tamberlin/lang"))
    for folder in ("Locked/Tamberlin", "Locked", "Partial/Tamberlin/lang"):
        os.chmod(os.path.join(drive, folder), 0o555)
    wineserver(pkg.box, "-k")  # the next server is started without the capabilities
    try:
        for folder, code, left in ((r"C:\Locked\New", 5, None), (r"C:\Locked\Tamberlin", 5, []),
                                   (r"C:\Partial\Tamberlin", 1603, [])):
            exit_code, err = pkg.cmd("%s /S /D=%s" % (windows_path(pkg.setup), folder), unprivileged=True)
            check(exit_code == code, "setup into %s ends with %d" % (folder, code), "exit %d\n%s" % (exit_code, err))
            check(folder in err and "Nothing was installed" in err, "setup into %s says why" % folder, err)
            files = sorted(pkg.installed(folder)) if os.path.isdir(pkg.unix(folder)) else None
            check(files == left, "setup into %s leaves nothing behind" % folder, repr(files))
            pkg.nothing_installed("setup into " + folder, err)
    finally:
        wineserver(pkg.box, "-k")
        for folder in ("Locked", "Locked/Tamberlin", "Partial/Tamberlin/lang"):
            if os.path.isdir(os.path.join(drive, folder)):
                os.chmod(os.path.join(drive, folder), 0o755)


def second_setup(pkg):
    """A setup started while another one waits for its user is refused: only one writes the files."""
    temp = os.path.join(pkg.box.prefix, "drive_c/users/*/**/ns*.tmp")
    before = set(glob.glob(temp, recursive=True))
    first = subprocess.Popen(["wine", pkg.older_setup], env=pkg.box.env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    try:
        # Its plug-in folder appears with the lock's first call.
        deadline = time.time() + 60
        while not set(glob.glob(temp, recursive=True)) - before and time.time() < deadline:
            time.sleep(0.1)
        check(time.time() < deadline, "the first setup starts")
        code, err = pkg.cmd(windows_path(pkg.setup) + " /S")
        check(code == 1618, "a second setup ends with 1618", "exit %d\n%s" % (code, err))
        check("Another setup or uninstall of Tamberlin is running" in err, "a second setup says why", err)
    finally:
        first.kill()
        first.wait()


def installed_as_registered(pkg, folder):
    """The files of the zip, the uninstaller, the shortcut and the registration, with version and icon."""
    files = pkg.installed(folder)
    uninstaller = files.pop("uninstall.exe", None)
    check(uninstaller is not None, "the uninstaller is installed")
    check(files == pkg.files, "the installed files are the zip's, byte for byte",
          "installed %s\nzip %s" % (sorted(files), sorted(pkg.files)))
    values = pkg.registration()
    want = {"DisplayName": "Tamberlin", "DisplayVersion": pkg.version, "Publisher": "Quarnel",
            "DisplayIcon": folder + "\\tamberlin.exe,0", "InstallLocation": folder,
            "UninstallString": '"%s\\uninstall.exe"' % folder,
            "QuietUninstallString": '"%s\\uninstall.exe" /S' % folder, "NoModify": 1, "NoRepair": 1}
    check(values is not None and {k: values.get(k) for k in want} == want, "the registration's values",
          repr(values))
    size = sum(len(b) for b in files.values()) + len(uninstaller)
    check(size // 1024 - 1 <= values.get("EstimatedSize", -9) <= size // 1024 + 8, "the registered size in KB",
          "%r for %d bytes" % (values.get("EstimatedSize"), size))
    link = windows_files.shell_link(pkg.shortcut())
    check(link["target"] == folder + "\\tamberlin.exe" and link.get("working_dir") == folder
          and link.get("icon_location") == folder + "\\tamberlin.exe" and link["icon_index"] == 0,
          "the Start-menu shortcut starts the installed program with its icon", repr(link))
    icon = windows_files.ico_images(os.path.join(pkg.box.windows_build, "generated/tamberlin.ico"))
    for path in (pkg.setup, pkg.unix(folder + "\\tamberlin.exe"), pkg.unix(folder + "\\tamberlin-cli.exe")):
        strings = windows_files.version_strings(path)
        check(strings.get("ProductName") == "Tamberlin" and strings.get("ProductVersion") == pkg.version,
              "%s carries the version resource" % os.path.basename(path), repr(strings))
        check(windows_files.icon_images(path) == icon, "%s carries the icon" % os.path.basename(path))


def installed_programs_run(pkg, folder):
    box = pkg.box
    for program, answer in (("tamberlin.exe", "Tamberlin " + pkg.version),
                            ("tamberlin-cli.exe", "tamberlin-cli " + pkg.version)):
        result, _ = box.run(pkg.unix(folder + "\\" + program), ["--version"])
        check(result.returncode == 0 and answer in result.stdout.decode(errors="replace"),
              "the installed %s --version answers %s" % (program, answer),
              result.stdout.decode(errors="replace") + result.stderr.decode(errors="replace"))
    box.start_gateway([])
    box.store_port("COM%d" % PORT)
    result, _ = box.run(pkg.unix(folder + "\\tamberlin.exe"), ["/P%d" % PORT, "/F" + windows_path(script_path(box))])
    box.gateway_done()
    detail = result.stderr.decode(errors="replace")
    check(result.returncode == 1, "the installed tamberlin.exe /F ends with 1", detail)
    check(same_script(box), "the gateway has the script byte for byte", detail)


def refused_while_running(pkg, folder):
    """Neither a setup nor the uninstall touches a folder that a running Tamberlin uses."""
    log = os.path.join(pkg.box.dir, "running.log")
    env = dict(pkg.box.env, TAMBERLIN_LOG=windows_path(log))
    running = subprocess.Popen(["wine", pkg.unix(folder + "\\tamberlin.exe")], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    try:
        deadline = time.time() + 60
        while not (os.path.exists(log) and os.path.getsize(log)) and time.time() < deadline:
            time.sleep(0.1)
        check(time.time() < deadline, "the installed tamberlin.exe starts")
        for what, line in (("setup", windows_path(pkg.setup) + " /S"),
                           ("uninstall", '"%s\\uninstall.exe" /S _?=%s' % (folder, folder))):
            code, err = pkg.cmd(line)
            check(code == 32, "the %s while Tamberlin runs ends with 32" % what, "exit %d\n%s" % (code, err))
            check("Tamberlin runs from \"%s\"" % folder in err and "Nothing was changed" in err,
                  "the %s while Tamberlin runs says why" % what, err)
    finally:
        running.kill()
        running.wait()
    installed_as_registered(pkg, folder)


def uninstall_all_or_none(pkg, folder):
    """A file the uninstaller cannot remove: it removes none and stays registered."""
    lang = pkg.unix(folder + "\\lang")
    wineserver(pkg.box, "-k")
    os.chmod(lang, 0o555)
    try:
        code, err = pkg.cmd('"%s\\uninstall.exe" /S _?=%s' % (folder, folder), unprivileged=True)
    finally:
        wineserver(pkg.box, "-k")
        os.chmod(lang, 0o755)
    check(code == 1603, "an uninstall that cannot remove a file ends with 1603", "exit %d\n%s" % (code, err))
    check("english_en_gb.ini cannot be removed" in err and "Nothing was removed" in err,
          "an uninstall that cannot remove a file says which", err)
    installed_as_registered(pkg, folder)


def uninstall(pkg, folder):
    """The registered quiet uninstall: no file, folder, shortcut or registration left; settings kept."""
    code, err = pkg.cmd(pkg.registration()["QuietUninstallString"])
    check(code == 0, "the quiet uninstall ends with 0", "exit %d\n%s" % (code, err))
    wineserver(pkg.box, "-w")  # it finishes in a copy of itself
    check(not os.path.exists(pkg.unix(folder)), "the uninstall removes the folder",
          repr(sorted(pkg.installed(folder))) if os.path.isdir(pkg.unix(folder)) else "")
    pkg.nothing_installed("after the uninstall", err)
    settings = reg_values(pkg.box, SETTINGS_KEY)
    check(settings is not None and settings.get("PortNumber") == "COM%d" % PORT,
          "the user's settings stay after the uninstall", repr(settings))


def case_setup(windows_build, linux_build, source, setup, zip_path, older_setup):
    prefix = os.path.join(windows_build, "wine-package-prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    started = time.time()
    box = Sandbox(windows_build, linux_build, source, prefix=prefix)
    try:
        pkg = Package(box, setup, zip_path, older_setup)
        t = step("a fresh Wine prefix", started)
        bad_folders(pkg)
        t = step("folders the setup cannot write", t)
        code, err = pkg.cmd(windows_path(older_setup) + " /S")
        older = pkg.registration()
        check(code == 0 and older and older.get("DisplayVersion") == "0.9.0"
              and older.get("InstallLocation") == r"C:\Program Files\Tamberlin",
              "the older version installs into Program Files", "exit %d %r\n%s" % (code, older, err))
        t = step("the older version installed", t)
        second_setup(pkg)
        t = step("a second setup refused", t)
        folder = r"C:\Service Tools\Tamberlin"
        code, err = pkg.cmd("%s /S /D=%s" % (windows_path(setup), folder))
        check(code == 0, "the setup ends with 0", "exit %d\n%s" % (code, err))
        check(not os.path.exists(pkg.unix(r"C:\Program Files\Tamberlin")), "the older version is removed")
        installed_as_registered(pkg, folder)
        t = step("installed over the older version into " + folder, t)
        installed_programs_run(pkg, folder)
        t = step("the installed programs answer and write the script", t)
        refused_while_running(pkg, folder)
        t = step("setup and uninstall refused while Tamberlin runs", t)
        uninstall_all_or_none(pkg, folder)
        t = step("an uninstall that cannot remove a file removes none", t)
        uninstall(pkg, folder)
        step("uninstalled, settings kept", t)
    finally:
        wineserver(box, "-k")
        box.close()
    shutil.rmtree(prefix, ignore_errors=True)
    return time.time() - started


def started_with_trace(box, program, trace):
    """Starts a program with Wine's trace of file opens in a file, until its log has a first line (the
    window program writes it once it has read its texts), then ends it."""
    log = os.path.join(box.dir, "started.log")
    env = dict(box.env, TAMBERLIN_LOG=windows_path(log), WINEDEBUG="-all,trace+file")
    with open(trace, "w") as out:
        running = subprocess.Popen(["wine", program], env=env, stdout=subprocess.DEVNULL, stderr=out)
        try:
            deadline = time.time() + 60
            while not (os.path.exists(log) and os.path.getsize(log)) and time.time() < deadline:
                time.sleep(0.1)
            check(time.time() < deadline, "%s starts" % program)
        finally:
            running.kill()
            running.wait()


def case_zip(windows_build, linux_build, source, setup, zip_path, older_setup):
    started = time.time()
    box = Sandbox(windows_build, linux_build, source)
    try:
        pkg = Package(box, setup, zip_path, older_setup)
        unpacked = os.path.join(box.dir, "Portable Tamberlin")
        with zipfile.ZipFile(zip_path) as z:
            z.extractall(unpacked)
        folder = os.path.join(unpacked, "tamberlin-%s-windows-x64" % pkg.version)
        result, _ = box.run(os.path.join(folder, "tamberlin-cli.exe"), ["--version"])
        check(result.returncode == 0 and ("tamberlin-cli " + pkg.version).encode() in result.stdout,
              "the unpacked tamberlin-cli.exe --version answers", repr(result))

        log = os.path.join(box.dir, "portable.log")
        box.env["TAMBERLIN_LOG"] = windows_path(log)
        box.start_gateway([])
        box.store_port("COM%d" % PORT)
        result, _ = box.run(os.path.join(folder, "tamberlin.exe"), ["/P%d" % PORT, "/F" + windows_path(script_path(box))])
        box.gateway_done()
        detail = "exit %d\n%s" % (result.returncode, open(log, errors="replace").read() if os.path.exists(log) else "")
        check(result.returncode == 1, "the unpacked tamberlin.exe /F ends with 1", detail)
        check(same_script(box), "the gateway has the script byte for byte", detail)

        # Wine's trace of file opens shows where the program finds its texts.
        trace = os.path.join(box.dir, "trace.txt")
        started_with_trace(box, os.path.join(folder, "tamberlin.exe"), trace)
        with open(trace, errors="replace") as f:
            opened = [line for line in f if "NtCreateFile" in line and "english_en_gb.ini" in line]
        check(opened and all("Portable Tamberlin" in line for line in opened),
              "the unpacked program reads its language file beside itself", "".join(opened))
    finally:
        box.close()
    return time.time() - started


CASES = {"setup": case_setup, "zip": case_zip}


def main():
    if len(sys.argv) < 7:
        raise SystemExit(__doc__)
    return run_cases(CASES, sys.argv[7:], [os.path.abspath(p) for p in sys.argv[1:7]])


if __name__ == "__main__":
    sys.exit(main())
