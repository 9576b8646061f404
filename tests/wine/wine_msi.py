#!/usr/bin/env python3
"""The Windows Installer package under Wine's msiexec, as a software-distribution tool uses it, in a
fresh Wine prefix: an older MSI of the same script installed, replaced by this version's (one entry
in the list of installed programs, the zip's files byte for byte, the shortcut) and refused over
it, the installed programs writing into korvane-sim, and the quiet uninstall that keeps the user's
settings.

Usage: wine_msi.py WINDOWS_BUILD LINUX_BUILD SOURCE_DIR MSI ZIP OLDER_MSI"""
import glob
import os
import re
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_endtoend import PORT, Sandbox, windows_path  # noqa: E402
from wine_cases import run_cases  # noqa: E402
from wine_package import (SETTINGS_KEY, Failure, Package, check, installed_programs_run, reg_values,  # noqa: E402
                          step, wineserver)
import windows_files  # noqa: E402

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
FOLDER = r"C:\Program Files\Tamberlin"
# Wine puts a per-machine package's shortcut into the user's Start menu, Windows into the common one.
SHORTCUTS = ("ProgramData/Microsoft/Windows/Start Menu/Programs/Tamberlin.lnk",
             "users/*/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tamberlin.lnk")


def properties(msi):
    """The Property table of an MSI, read on this side with msitools."""
    out = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True, check=True).stdout
    return dict(line.split("\t", 1) for line in out.splitlines()[3:] if "\t" in line)


def registrations(box):
    """{product code: values} of every entry named Tamberlin in the list of installed programs."""
    result = subprocess.run(["wine", "reg", "query", UNINSTALL, "/s"], env=box.env, capture_output=True, timeout=60)
    check(result.returncode == 0, "reg query " + UNINSTALL, result.stderr.decode(errors="replace"))
    found = {}
    for block in re.split(r"\r?\n(?=HKEY_)", result.stdout.decode(errors="replace")):
        key = block.splitlines()[0].strip() if block.strip() else ""
        code = key.rsplit("\\", 1)[-1]
        if not code.startswith("{"):
            continue
        values = reg_values(box, key)
        if values and values.get("DisplayName") == "Tamberlin":
            found[code] = values
    return found


def shortcuts(pkg):
    drive = os.path.join(pkg.box.prefix, "drive_c")
    return [p for pattern in SHORTCUTS for p in glob.glob(os.path.join(drive, pattern))]


def msiexec(pkg, action, msi):
    return pkg.cmd("msiexec %s %s /qn" % (action, windows_path(msi)))


def case_msi(windows_build, linux_build, source, msi, zip_path, older_msi):
    new, old = properties(msi), properties(older_msi)
    check(new.get("ALLUSERS") == "1", "the MSI installs per machine", repr(new))
    check(new["UpgradeCode"] == old["UpgradeCode"] and new["ProductCode"] != old["ProductCode"],
          "both versions share the UpgradeCode and have ProductCodes of their own", "%r\n%r" % (new, old))

    prefix = os.path.join(windows_build, "wine-msi-prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    started = time.time()
    box = Sandbox(windows_build, linux_build, source, prefix=prefix)
    try:
        pkg = Package(box, None, zip_path, None)
        t = step("a fresh Wine prefix", started)

        code, err = msiexec(pkg, "/i", older_msi)
        check(code == 0, "the older MSI installs", "exit %d\n%s" % (code, err))
        check({c: v.get("DisplayVersion") for c, v in registrations(box).items()} == {old["ProductCode"]: "0.9.0"},
              "the older version is registered", repr(registrations(box)))
        t = step("the older version installed", t)

        code, err = msiexec(pkg, "/i", msi)
        check(code == 0, "the MSI installs over the older version", "exit %d\n%s" % (code, err))
        registered = registrations(box)
        check(list(registered) == [new["ProductCode"]], "the older version is replaced: one registration",
              repr(registered))
        values = registered[new["ProductCode"]]
        want = {"DisplayVersion": pkg.version, "Publisher": "Quarnel", "InstallLocation": FOLDER + "\\",
                "UninstallString": "MsiExec.exe /X" + new["ProductCode"]}
        check({k: values.get(k) for k in want} == want, "the registration's values", repr(values))
        files = pkg.installed(FOLDER)
        check(files == pkg.files, "the installed files are the zip's, byte for byte",
              "installed %s\nzip %s" % (sorted(files), sorted(pkg.files)))
        links = shortcuts(pkg)
        check(len(links) == 1, "one Start-menu shortcut", repr(links))
        link = windows_files.shell_link(links[0])
        # Windows Installer writes a folder with its closing backslash.
        check(link["target"] == FOLDER + "\\tamberlin.exe" and link.get("working_dir", "").rstrip("\\") == FOLDER,
              "the shortcut starts the installed program in its folder", repr(link))
        t = step("installed over the older version", t)

        code, err = msiexec(pkg, "/i", older_msi)
        check(code == 1603 and list(registrations(box)) == [new["ProductCode"]] and pkg.installed(FOLDER) == files,
              "the older MSI over this version is refused and changes nothing", "exit %d\n%s" % (code, err))
        t = step("the older version refused over this one", t)

        installed_programs_run(pkg, FOLDER)
        t = step("the installed programs answer and write the script", t)

        code, err = msiexec(pkg, "/x", msi)
        check(code == 0, "the quiet uninstall ends with 0", "exit %d\n%s" % (code, err))
        check(not os.path.exists(pkg.unix(FOLDER)), "the uninstall removes the folder",
              repr(sorted(pkg.installed(FOLDER))) if os.path.isdir(pkg.unix(FOLDER)) else "")
        check(not shortcuts(pkg), "the uninstall removes the shortcut", repr(shortcuts(pkg)))
        check(not registrations(box), "the uninstall removes the registration", repr(registrations(box)))
        settings = reg_values(box, SETTINGS_KEY)
        check(settings is not None and settings.get("PortNumber") == "COM%d" % PORT,
              "the user's settings stay after the uninstall", repr(settings))
        step("uninstalled, settings kept", t)
    finally:
        wineserver(box, "-k")
        box.close()
    shutil.rmtree(prefix, ignore_errors=True)
    return time.time() - started


def main():
    if len(sys.argv) != 7:
        raise SystemExit(__doc__)
    return run_cases({"msi": case_msi}, [], [os.path.abspath(p) for p in sys.argv[1:7]])


if __name__ == "__main__":
    sys.exit(main())
