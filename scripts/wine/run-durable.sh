#!/bin/bash
# Durable replace and one read of the settings: runs a whole update under
# strace and requires that every temporary copy was synced to the disk before
# it was renamed over the game file, so that a power cut cannot leave a game
# file empty, and that update.ini was opened for reading once, so that the
# bytes parsed are the bytes read (and checked). Wine turns FlushFileBuffers
# into fsync in the program's own process; renames and opens are done by the
# wineserver: strace follows both when the wineserver starts under it, so the
# run begins with none running.
#   bash scripts/wine/run-durable.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:-build/win}" && pwd)

TESTS=$BUILD/tests/e2e/e2e_tests.exe
UPDATE=$BUILD/update.exe
for f in "$TESTS" "$UPDATE"; do
  if [ ! -f "$f" ]; then
    echo "run-durable: $f is missing; build the Windows tree first" >&2
    exit 1
  fi
done
command -v strace >/dev/null || {
  echo "run-durable: strace is not installed (scripts/setup.sh installs it)" >&2
  exit 1
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# shellcheck source=prefix.sh
source "$ROOT/scripts/wine/prefix.sh" null
trap wine_prefix_cleanup EXIT
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w

TRACE=$WINE_TEST_ROOT/trace
UPDATE_EXE=$(windows_path "$UPDATE") strace -f -y -qq -o "$TRACE" \
  -e trace=fsync,fdatasync,rename,renameat,renameat2,open,openat,openat2 \
  "$WINE" "$TESTS" --gtest_color=no --gtest_filter='RunTest.CompleteCopiesSelectedFilesAndNamesTitle'
"$WINESERVER" -w

python3 - "$TRACE" <<'EOF'
import os, re, sys
# The wineserver renames by the prefix's dosdevices name; strace -y shows a
# descriptor's real path.
def real(path):
    return os.path.join(os.path.realpath(os.path.dirname(path)), os.path.basename(path))
# fsync(12</path/a.dat.~update-part>) = 0, possibly split by another
# process's line into "<unfinished ...>" and "<... fsync resumed>".
synced = set()
renamed = 0
failures = []
pending = {}
# The test writes update.ini before it starts the update; every open for
# reading is the update's, whichever process made the call.
settings_reads = []
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.match(r"(\d+)\s+(.*)", line)
    if not m:
        continue
    pid, call = m.groups()
    if call.startswith("<..."):
        call = pending.pop(pid, "") + call
    elif call.endswith("<unfinished ...>"):
        pending[pid] = call
        continue
    s = re.match(r"f(?:data)?sync\(\d+<(.*)>", call)
    if s and call.rstrip().endswith("= 0"):
        synced.add(real(s.group(1)))
        continue
    o = re.match(r'open(?:at2?)?\((?:[^,"]*, )?"([^"]*)", ([A-Z0-9_|]+)', call)
    if o and os.path.basename(o.group(1)).lower() == "update.ini":
        if not re.search(r"O_WRONLY|O_RDWR|O_CREAT", o.group(2)):
            settings_reads.append(call.strip())
        continue
    r = re.match(r'rename(?:at2?)?\((?:[^,]*, )?"([^"]*)", (?:[^,]*, )?"([^"]*)"', call)
    if r and r.group(1).endswith(".~update-part"):
        renamed += 1
        if real(r.group(1)) not in synced:
            failures.append(f"{r.group(1)} was renamed to {r.group(2)} without an fsync before")
if len(settings_reads) != 1:
    failures.append(f"update.ini was opened for reading {len(settings_reads)} times, not once:")
    failures.extend("  " + call for call in settings_reads)
for failure in failures:
    print("FAIL: " + failure)
if renamed == 0:
    print("FAIL: no temporary copy was renamed into place; the trace saw no update")
    sys.exit(1)
if failures:
    sys.exit(1)
print(f"run-durable: each of {renamed} temporary copies was synced before its rename; "
      "update.ini was opened for reading once")
EOF
