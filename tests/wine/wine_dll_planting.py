#!/usr/bin/env python3
"""DLL planting: the programs, unpacked into a folder where DLLs named like system DLLs lie (a
Downloads folder), load none of them. Windows looks for a DLL that is not on its KnownDLLs list in
the program's folder first; Wine is told to prefer such native DLLs (WINEDLLOVERRIDES n,b), as
Windows does. A control program that imports the same DLLs plainly must load every planted one, or
the test proves nothing. Wine's own DLLs load some of these names themselves before a program's first
instruction (version.dll, which Wine's user32 imports, and uxtheme.dll for the window program), from
the program's folder, where Windows loads a known DLL's dependencies from the system folder. A copy
of each program that ends at its entry point shows which: they are left out of that program's runs.
Also: the programs import only known DLLs at their start and keep ASLR, high-entropy ASLR and DEP.

Usage: wine_dll_planting.py WINDOWS_BUILD SOURCE_DIR PROGRAM... [--case imports|planted]"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_cases import Failure, check, run_cases  # noqa: E402

# The system DLLs Qt links that Windows does not load from its KnownDLLs list, with one function each
# for the control program.
PLANTED = {"authz": "AuthzFreeContext", "d3d9": "Direct3DCreate9", "d3d11": "D3D11CreateDevice",
           "dwmapi": "DwmIsCompositionEnabled", "dwrite": "DWriteCreateFactory", "dxgi": "CreateDXGIFactory",
           "netapi32": "NetApiBufferFree", "userenv": "GetUserProfileDirectoryW", "uxtheme": "IsThemeActive",
           "version": "GetFileVersionInfoSizeW", "winmm": "timeGetTime", "wtsapi32": "WTSFreeMemory"}
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs of Windows 10 and 11, and ntdll,
# which is always the system's. API-set names (api-ms-win-*) never name a file.
KNOWN_DLLS = {"advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp",
              "imm32", "kernel32", "msctf", "msvcrt", "normaliz", "nsi", "ole32", "oleaut32", "psapi", "rpcrt4",
              "sechost", "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32", "ntdll"}
OBJDUMP = "x86_64-w64-mingw32-objdump"
CC = "x86_64-w64-mingw32-gcc"
IMAGE_DLLCHARACTERISTICS = {"HIGH_ENTROPY_VA": 0x20, "DYNAMIC_BASE": 0x40, "NX_COMPAT": 0x100}


def static_imports(program):
    out = subprocess.run([OBJDUMP, "-p", program], capture_output=True, text=True, check=True).stdout
    names = [n.lower() for n in re.findall(r"^\s*DLL Name: (\S+)", out, re.M)]
    characteristics = int(re.search(r"^DllCharacteristics\s+([0-9a-fA-F]+)", out, re.M).group(1), 16)
    return names, characteristics


def case_imports(windows_build, source, programs):
    for program in programs:
        names, characteristics = static_imports(program)
        name = os.path.basename(program)
        check(names, "%s has an import table" % name)
        unknown = [n for n in names if n[:-4] not in KNOWN_DLLS and not n.startswith("api-ms-win-")]
        check(not unknown, "%s imports only known DLLs at its start (delay-load the others: "
              "tb_delay_loaded_dlls in cmake/Windows.cmake)" % name, " ".join(unknown))
        for flag, bit in IMAGE_DLLCHARACTERISTICS.items():
            check(characteristics & bit, "%s has %s" % (name, flag), "DllCharacteristics %#x" % characteristics)


def wine_env(windows_build):
    prefix = os.path.join(windows_build, "wineprefix")
    # Without Wine's debugger, a program that a planted DLL breaks ends at once instead of waiting.
    overrides = ";".join(["mscoree,mshtml=,winedbg.exe=", ",".join(PLANTED) + "=n,b"])
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all,+loaddll", WINEDLLOVERRIDES=overrides)
    return env


def build(folder, source):
    """The planted DLLs, one build under every name, and the control program beside them."""
    dll = os.path.join(folder, "planted.dll")
    subprocess.run([CC, "-shared", "-O2", "-o", dll, os.path.join(source, "tests/wine/PlantedDll.c")], check=True)
    for name in PLANTED:
        shutil.copy(dll, os.path.join(folder, name + ".dll"))
    os.unlink(dll)
    control = os.path.join(folder, "control.c")
    with open(control, "w") as f:
        f.write("".join("__declspec(dllimport) void %s(void);\n" % fn for fn in PLANTED.values()))
        f.write("int main(void) {\n  void (*volatile used[])(void) = {%s};\n  return used[0] == 0;\n}\n"
                % ", ".join(PLANTED.values()))
    subprocess.run([CC, "-O2", "-o", os.path.join(folder, "control.exe"), control]
                   + ["-l" + name for name in PLANTED], check=True)
    os.unlink(control)


def ended_at_entry(program, copy):
    """A copy of the program whose entry point returns at once: what it loads, Wine loads first."""
    with open(program, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    entry = struct.unpack_from("<I", data, pe + 24 + 16)[0]
    for i in range(count):
        size, address, raw_size, raw = struct.unpack_from("<IIII", data, pe + 24 + optional_size + 40 * i + 8)
        if address <= entry < address + max(size, raw_size):
            data[raw + entry - address] = 0xC3  # ret
            break
    else:
        raise Failure("no section holds the entry point of " + program)
    with open(copy, "wb") as f:
        f.write(data)


def marks(folder):
    # Wine names a DLL as the program asked for it: VERSION.dll for version.dll.
    return sorted(n[:-len(".dll.loaded")].lower() for n in os.listdir(folder) if n.lower().endswith(".dll.loaded"))


def who(folder):
    """Which program loaded each planted DLL."""
    found = []
    for name in sorted(n for n in os.listdir(folder) if n.lower().endswith(".dll.loaded")):
        with open(os.path.join(folder, name), errors="replace") as f:
            found.append("%s by %s" % (name[:-len(".loaded")], f.read()))
    return "\n".join(found)


def clear_marks(folder):
    for n in os.listdir(folder):
        if n.endswith(".loaded"):
            os.unlink(os.path.join(folder, n))


def run(env, program, arguments, until=None, timeout=60):
    """Runs a program, or with until a file, until that file has a first line; returns Wine's log of
    loaded DLLs."""
    if until is None:
        try:
            result = subprocess.run(["wine", program] + arguments, env=env, capture_output=True, timeout=timeout)
        except subprocess.TimeoutExpired as e:
            return (e.stderr or b"").decode(errors="replace")
        return result.stderr.decode(errors="replace")
    log = os.path.join(os.path.dirname(program), "wine.log")
    with open(log, "w") as out:
        running = subprocess.Popen(["wine", program] + arguments, env=env, stdout=subprocess.DEVNULL, stderr=out)
        try:
            deadline = time.time() + timeout
            while not (os.path.exists(until) and os.path.getsize(until)) and time.time() < deadline:
                time.sleep(0.1)
        finally:
            running.kill()
            running.wait()
    with open(log, errors="replace") as f:
        return f.read()


def loaded(trace):
    """{dll: the path Wine loaded it from} for the planted names."""
    found = {}
    for path in re.findall(r'Loaded L"([^"]+)"', trace):
        path = path.replace("\\\\", "\\")  # the log escapes backslashes
        name = path.replace("\\", "/").rsplit("/", 1)[-1].lower()
        if name[:-4] in PLANTED:
            found[name[:-4]] = path
    return found


def wines_own(env, folder, program):
    """The planted names that Wine loads for the program before its entry point, other than the program's
    own imports, removed from the folder."""
    copy = os.path.join(folder, "entry-" + os.path.basename(program))
    ended_at_entry(program, copy)
    imported = {n[:-4] for n in static_imports(program)[0]}
    found = []
    # A planted DLL that Wine loads first may stop the copy before Wine loads the next one.
    while True:
        trace = run(env, copy, [])
        loaded_now = [n for n in marks(folder) if n not in imported]
        clear_marks(folder)
        if not loaded_now:
            break
        found += loaded_now
        for name in loaded_now:
            os.unlink(os.path.join(folder, name + ".dll"))
    os.unlink(copy)
    check(len(found) < len(PLANTED) // 2, "Wine's own DLLs load few of the planted names", " ".join(found) + trace)
    return sorted(found)


def case_planted(windows_build, source, programs):
    subprocess.run([os.path.join(source, "tools/windows/wine-prefix.sh"), os.path.join(windows_build, "wineprefix")],
                   check=True)
    env = wine_env(windows_build)
    by_name = {os.path.basename(p).lower(): p for p in programs}
    cases = [("tamberlin-cli.exe", ["--version"], None), ("tamberlin-cli.exe", ["ports"], None),
             ("tamberlin.exe", ["-platform", "offscreen"], "started.log")]
    used = {}
    for index, name in enumerate(sorted({c[0] for c in cases})):
        downloads = tempfile.mkdtemp(prefix="tamberlin-downloads-")
        try:
            build(downloads, source)
            if index == 0:
                trace = run(env, os.path.join(downloads, "control.exe"), [])
                check(marks(downloads) == sorted(PLANTED), "the control program loads every planted DLL (else "
                      "this Wine does not prefer them, and the test proves nothing)",
                      trace[-2000:] + "\n" + who(downloads))
                clear_marks(downloads)
            program = shutil.copy(by_name[name], downloads)
            left_out = wines_own(env, downloads, program)
            if left_out:
                print("  %s: left out %s (Wine's own DLLs load them before the entry point)"
                      % (name, " ".join(left_out)), flush=True)
            for _, arguments, log in (c for c in cases if c[0] == name):
                what = " ".join([name] + arguments)
                if log:
                    log = os.path.join(downloads, log)
                    env["TAMBERLIN_LOG"] = "Z:" + log.replace("/", "\\")
                trace = run(env, program, arguments, until=log)
                check(not marks(downloads), "%s loads no planted DLL" % what, trace[-2000:] + "\n" + who(downloads))
                check(not log or (os.path.exists(log) and os.path.getsize(log)), "%s starts" % what, trace)
                for dll, path in loaded(trace).items():
                    if dll in left_out:
                        continue
                    check(path.lower().startswith("c:\\windows\\system32\\"),
                          "%s loads %s.dll from the system folder" % (what, dll), path)
                    used[dll] = path
        finally:
            shutil.rmtree(downloads, ignore_errors=True)
    # Some run must load a planted name after the entry point, or the runs show nothing of the search.
    check(used, "the programs load some of the planted names from the system folder")
    print("  loaded from the system folder: %s" % " ".join(sorted(used)), flush=True)


CASES = {"imports": case_imports, "planted": case_planted}


def main():
    arguments = sys.argv[1:]
    names = []
    while "--case" in arguments:
        at = arguments.index("--case")
        names.append(arguments[at + 1])
        del arguments[at:at + 2]
    if len(arguments) < 3:
        raise SystemExit(__doc__)
    windows_build, source = (os.path.abspath(p) for p in arguments[:2])
    programs = [os.path.abspath(p) for p in arguments[2:]]
    return run_cases(CASES, names, [windows_build, source, programs])


if __name__ == "__main__":
    sys.exit(main())
