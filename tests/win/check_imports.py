#!/usr/bin/env python3
"""Fails unless update.exe is what ships: a 32-bit x86 program with ASLR,
DEP and the terminal-server flag, that imports only kernel32 and the C
runtime directly (everything else delay-loaded, through tables the delay-load
helper can fill), and only functions on the allowlist that Windows 7 SP1
already has.

    check_imports.py PROGRAM.exe [ALLOWLIST]
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
NEWEST = "7SP1"


def pe_imports(*args, check=True):
    return subprocess.run([sys.executable, os.path.join(HERE, "pe_imports.py"), *args],
                          check=check, capture_output=True, text=True).stdout


if len(sys.argv) not in (2, 3):
    sys.exit(__doc__)
exe = sys.argv[1]
allowlist_path = sys.argv[2] if len(sys.argv) == 3 else os.path.join(HERE, "imports_allowlist.txt")
newest = NEWEST
flags = pe_imports("--flags", exe)
imports = pe_imports(exe)
order = ["2000", "XP", "XPSP1", "Vista", "7", "7SP1", "8", "8.1", "10"]
allowed = {}
for number, line in enumerate(open(allowlist_path, encoding="utf-8"), 1):
    line = line.split("#", 1)[0].split()
    if not line:
        continue
    if len(line) != 3 or line[2] not in order:
        sys.exit("check_imports: %s:%d: want DLL FUNCTION MINIMUM" % (allowlist_path, number))
    allowed[(line[0].lower(), line[1])] = line[2]

problems = []
flags = flags.split()
if "MACHINE" not in flags or flags[flags.index("MACHINE") + 1] != "i386":
    problems.append("not a 32-bit x86 program")
for flag in ("DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVER_AWARE"):
    if flag not in flags:
        problems.append("the header lacks %s" % flag)
if "RELOCS_STRIPPED" in flags:
    problems.append("relocations stripped: ASLR cannot move it")

# A delay slot that the linker put into another table is left zero or
# overwritten by the loader: the call jumps to address 0, and only when it is
# first made. Only the x86 build ever had this, so it is checked here rather
# than by running the program.
problems.extend("delay-load tables: " + line
                for line in pe_imports("--delay-tables", exe, check=False).splitlines())

rows = [line.split() for line in imports.splitlines()]
if not any(kind == "delay" for kind, _, _ in rows):
    problems.append("no delay-loaded import found")
for kind, dll, function in rows:
    if kind == "static" and dll not in ("kernel32.dll", "msvcrt.dll"):
        problems.append("%s is imported directly: it is mapped before WinMain "
                        "restricts the DLL search (delay-load it)" % dll)
    minimum = allowed.get((dll, function))
    if minimum is None:
        problems.append("%s!%s is not on the allowlist %s" % (dll, function, allowlist_path))
    elif order.index(minimum) > order.index(newest):
        problems.append("%s!%s needs Windows %s, newer than %s: look it up with "
                        "GetProcAddress instead" % (dll, function, minimum, newest))
for problem in problems:
    print("check_imports: %s: %s" % (exe, problem), file=sys.stderr)
dlls = sorted({(kind, dll) for kind, dll, _ in rows})
print("check_imports: %d functions from %s" % (len(rows), ", ".join("%s (%s)" % (d, k) for k, d in dlls)))
sys.exit(1 if problems else 0)
