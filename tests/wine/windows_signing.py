#!/usr/bin/env python3
"""Signing of the Windows package with a throw-away self-signed certificate made here: windows_package
built with TAMBERLIN_SIGN_CERT / _KEY / _PASS signs the setup, the MSI, and the programs inside the
zip, the MSI and the setup (the uninstaller, which the setup writes, included: the signed setup is
installed under Wine); built without them, nothing carries a signature. The build is left as the
environment had it.

Usage: windows_signing.py WINDOWS_BUILD SOURCE_DIR SETUP MSI ZIP"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from wine_endtoend import windows_path  # noqa: E402
from wine_cases import Failure, check  # noqa: E402

SIGNING = ("TAMBERLIN_SIGN_CERT", "TAMBERLIN_SIGN_KEY", "TAMBERLIN_SIGN_PASS", "TAMBERLIN_SIGN_TIMESTAMP_URL")
PROGRAMS = ("tamberlin.exe", "tamberlin-cli.exe")


def certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-keyout", key, "-out", cert, "-days", "2",
                    "-subj", "/CN=Tamberlin throw-away test signer", "-addext", "extendedKeyUsage=codeSigning",
                    "-passout", "pass:throw-away"], check=True, capture_output=True)
    return cert, key


def package(build, signing):
    env = {k: v for k, v in os.environ.items() if k not in SIGNING}
    env.update(signing)
    result = subprocess.run(["cmake", "--build", build, "--target", "windows_package"], env=env,
                            capture_output=True, timeout=900)
    check(result.returncode == 0, "windows_package builds " + ("signed" if signing else "unsigned"),
          (result.stdout + result.stderr).decode(errors="replace"))


def signature(path, cert):
    """'ok' for a signature that verifies against cert, 'none' without one, else osslsigncode's words."""
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path], capture_output=True)
    said = (result.stdout + result.stderr).decode(errors="replace")
    if "No signature found" in said or "MSI file has no signature" in said:
        return "none"
    if result.returncode == 0 and "Signature verification: ok" in said:
        return "ok"
    return said


def contents(folder, setup, msi, zip_path):
    """{name: path} of the files that must carry a signature: the setup, the MSI, the programs in the
    zip and in the MSI."""
    found = {"setup": setup, "msi": msi}
    unpacked = os.path.join(folder, "zip")
    with zipfile.ZipFile(zip_path) as z:
        for name in z.namelist():
            if os.path.basename(name) in PROGRAMS:
                found["zip " + os.path.basename(name)] = z.extract(name, unpacked)
    extracted = os.path.join(folder, "msi")
    subprocess.run(["msiextract", "-C", extracted, msi], check=True, capture_output=True)
    for directory, _, names in os.walk(extracted):
        for name in names:
            if name in PROGRAMS:
                found["msi " + name] = os.path.join(directory, name)
    check(len(found) == 6, "both programs lie in the zip and in the MSI", repr(found))
    return found


def installed_by_setup(folder, build, source, setup):
    """The setup installed silently in a Wine prefix of its own: {name: path} of its programs."""
    prefix = os.path.join(build, "wine-signing-prefix")
    shutil.rmtree(prefix, ignore_errors=True)
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    subprocess.run([os.path.join(source, "tools/windows/wine-prefix.sh"), prefix], check=True, env=env)
    target = os.path.join(folder, "installed")
    result = subprocess.run(["wine", setup, "/S", "/D=" + windows_path(target)], env=env, capture_output=True,
                            timeout=180)
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    check(result.returncode == 0, "the signed setup installs", result.stderr.decode(errors="replace"))
    return prefix, {"installed " + n: os.path.join(target, n) for n in PROGRAMS + ("uninstall.exe",)}


def main():
    if len(sys.argv) != 6:
        raise SystemExit(__doc__)
    build, source, setup, msi, zip_path = (os.path.abspath(p) for p in sys.argv[1:6])
    folder = tempfile.mkdtemp(prefix="tamberlin-signing-")
    prefix = None
    as_before = False  # the package as the environment would build it
    started = time.time()
    try:
        cert, key = certificate(folder)
        package(build, {"TAMBERLIN_SIGN_CERT": cert, "TAMBERLIN_SIGN_KEY": key, "TAMBERLIN_SIGN_PASS": "throw-away"})
        print("  built signed (%.1f s)" % (time.time() - started), flush=True)
        signed = contents(os.path.join(folder, "signed"), setup, msi, zip_path)
        prefix, installed = installed_by_setup(folder, build, source, setup)
        signed.update(installed)
        found = {name: signature(path, cert) for name, path in signed.items()}
        check(all(v == "ok" for v in found.values()), "every file carries a signature that verifies",
              "\n".join("%s: %s" % item for item in found.items()))
        print("  signed: %s (%.1f s)" % (", ".join(sorted(found)), time.time() - started), flush=True)

        package(build, {})
        as_before = not any(os.environ.get(k) for k in SIGNING)
        unsigned = contents(os.path.join(folder, "unsigned"), setup, msi, zip_path)
        found = {name: signature(path, cert) for name, path in unsigned.items()}
        check(all(v == "none" for v in found.values()), "an unsigned build signs nothing",
              "\n".join("%s: %s" % item for item in found.items()))
        print("PASS signing (%.1f s)" % (time.time() - started), flush=True)
        return 0
    except (Failure, subprocess.TimeoutExpired, subprocess.CalledProcessError) as e:
        print("FAIL signing: %s" % e, flush=True)
        return 1
    finally:
        if not as_before:
            subprocess.run(["cmake", "--build", build, "--target", "windows_package"], capture_output=True)
        if prefix:
            subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix), capture_output=True)
            shutil.rmtree(prefix, ignore_errors=True)
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
