#!/bin/bash
# Durable replace and one read of the settings: runs whole updates (a
# hand-made medium and a packed one) under strace and requires that every
# temporary copy was synced to the disk before it was renamed over the game
# file, so that a power cut cannot leave a game file empty, and that each
# update opened update.ini once, so that the bytes parsed are the bytes read
# (and checked). Wine turns FlushFileBuffers into fsync in the program's own
# process; renames and opens are done by the wineserver: strace follows both
# when the wineserver starts under it, so the run begins with none running.
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
UPDATES=(RunTest.CompleteCopiesSelectedFilesAndNamesTitle
  Media/MediumProofTest.UpdatesOnlyWhatThePublisherPacked/PackedAndStamped)
filter=$(IFS=:; echo "${UPDATES[*]}")
# -s 256: the programs' paths in execve's arguments whole.
UPDATE_EXE=$(windows_path "$UPDATE") strace -f -y -qq -s 256 -o "$TRACE" \
  -e trace=fsync,fdatasync,rename,renameat,renameat2,open,openat,openat2,execve,exit_group \
  "$WINE" "$TESTS" --gtest_color=no --gtest_filter="$filter"
"$WINESERVER" -w

python3 - "$TRACE" "${#UPDATES[@]}" <<'EOF'
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
# The opens of update.ini for reading while update.exe runs, from its execve
# to its exit_group, whichever process made the call (the wineserver opens
# files for its clients). The test itself writes and reads update.ini only
# before it starts the update.
runs = []
running = None
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    m = re.match(r"(\d+)\s+(.*)", line)
    if not m:
        continue
    pid, call = m.groups()
    # An exit never resumes.
    if call.startswith("exit_group(") and pid == running:
        running = None
        continue
    if call.startswith("<..."):
        call = pending.pop(pid, "") + call
    elif call.endswith("<unfinished ...>"):
        pending[pid] = call
        continue
    s = re.match(r"f(?:data)?sync\(\d+<(.*)>", call)
    if s and call.rstrip().endswith("= 0"):
        synced.add(real(s.group(1)))
        continue
    if re.match(r'execve\(.*"[^"]*\\\\update\.exe"', call) and call.rstrip().endswith("= 0"):
        running = pid
        runs.append([])
        continue
    o = re.match(r'open(?:at2?)?\((?:[^,"]*, )?"([^"]*)", ([A-Z0-9_|]+)', call)
    if o and os.path.basename(o.group(1)).lower() == "update.ini":
        if running is not None and not re.search(r"O_WRONLY|O_RDWR|O_CREAT", o.group(2)):
            runs[-1].append(call.strip())
        continue
    r = re.match(r'rename(?:at2?)?\((?:[^,]*, )?"([^"]*)", (?:[^,]*, )?"([^"]*)"', call)
    if r and r.group(1).endswith(".~update-part"):
        renamed += 1
        if real(r.group(1)) not in synced:
            failures.append(f"{r.group(1)} was renamed to {r.group(2)} without an fsync before")
# A start that Wine failed before the program ran (the harness starts it
# again) reads nothing.
updates = int(sys.argv[2])
for reads in runs:
    if len(reads) > 1:
        failures.append(f"an update opened update.ini {len(reads)} times, not once:")
        failures.extend("  " + call for call in reads)
if sum(1 for reads in runs if len(reads) == 1) != updates and not failures:
    failures.append(f"{len(runs)} starts of update.exe for {updates} updates opened update.ini "
                    f"{[len(reads) for reads in runs]} times")
for failure in failures:
    print("FAIL: " + failure)
if renamed == 0:
    print("FAIL: no temporary copy was renamed into place; the trace saw no update")
    sys.exit(1)
if failures:
    sys.exit(1)
print(f"run-durable: each of {renamed} temporary copies was synced before its rename; "
      f"each of {updates} updates opened update.ini once")
EOF
