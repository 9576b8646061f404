"""What the Windows package tests share: a failed check, and running the cases by name."""
import subprocess
import time


class Failure(Exception):
    pass


def check(condition, what, detail=""):
    if not condition:
        raise Failure("%s%s" % (what, ("\n" + detail[-3000:]) if detail else ""))


def run_cases(cases, names, arguments):
    """Runs the named cases (all when none is named) with the arguments; 1 when one failed."""
    failed = 0
    for name in names or cases:
        started = time.time()
        try:
            cases[name](*arguments)
            print("PASS %s (%.1f s)" % (name, time.time() - started), flush=True)
        except (Failure, subprocess.TimeoutExpired) as e:
            failed += 1
            print("FAIL %s: %s" % (name, e), flush=True)
    return 1 if failed else 0
