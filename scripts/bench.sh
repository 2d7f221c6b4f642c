#!/bin/bash
# Builds what the benchmarks need, runs them side by side in one private
# headless Wine prefix and prints one table of figures, ratios and targets.
#   bash scripts/bench.sh [--smoke]
# RUNS (default 5) sets the measured runs per item, start-up has three times
# as many, the peak working set at most 2; each item has one warm-up run
# besides. MANY (default 3000) is the number of 4 KB files of the item of
# many small files, MB_FILES (default 20) that of the 1 MB files,
# MEM_ENTRIES (default 20000) the entries of the large medium whose peak
# working set is read, VERSION_FILES (default 200) the 1 MB files that
# change between the two versions of the version-record item. LARGE_MB
# (default 512) is the size of the large-file items, ANSWER_MB (default
# 1024) the size of the file during which the copy dialog's answers are
# timed. --smoke runs everything once on small media, to show that the
# benchmark still works.
# Updates of many files are compared with fsync_rename_loop, a native
# program that writes each file under a temporary name on the same disk,
# fsyncs and renames it. A medium that update.exe or update-pack refuses is
# reported as not measured, and the run goes on.
# Native build in build/bench, the shipped x86 Windows build in WIN_BUILD
# (default build/bench-win); where Wine cannot start 32-bit programs, the
# x64 build in WIN_BUILD_X64 (default WIN_BUILD with 64 appended) is what
# runs, and the report says so. Figures are printed, never judged: no exit
# status depends on a time.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
if [ "${1:-}" = "--smoke" ]; then
  RUNS=1
  LARGE_MB=16
  ANSWER_MB=16
  MANY=30
  MB_FILES=2
  MEM_ENTRIES=300
  VERSION_FILES=3
fi
RUNS=${RUNS:-5}
LARGE_MB=${LARGE_MB:-512}
ANSWER_MB=${ANSWER_MB:-1024}
MANY=${MANY:-3000}
MB_FILES=${MB_FILES:-20}
MEM_ENTRIES=${MEM_ENTRIES:-20000}
VERSION_FILES=${VERSION_FILES:-200}
MEM_RUNS=$((RUNS < 2 ? RUNS : 2))
JOBS=${JOBS:-2}
WIN_BUILD=${WIN_BUILD:-build/bench-win}
WIN_BUILD_X64=${WIN_BUILD_X64:-${WIN_BUILD}64}

step() { echo "=== $*" >&2; }

step "native Release build (parse_bench, fsync_rename_loop, update-pack)"
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j"$JOBS" --target parse_bench --target fsync_rename_loop \
  --target update-pack >/dev/null
NATIVE_LOOP=$ROOT/build/bench/bench/fsync_rename_loop
PACK=$ROOT/build/bench/tools/update-pack/update-pack

step "Windows Release build (update.exe, bench_driver.exe, minimal dialog programs)"
# shellcheck source=wine/windows-build.sh
source "$ROOT/scripts/wine/windows-build.sh"
windows_build "$WIN_BUILD" "$WIN_BUILD_X64" \
  update bench_driver minimal_dialog minimal_manifest >/dev/null
step "benchmarking the $WINDOWS_BUILD_LABEL"

WIN=$(cd "$WINDOWS_BUILD" && pwd)
UPDATE=$WIN/update.exe
DRIVER=$WIN/bench/bench_driver.exe
RESULTS=$(mktemp "${TMPDIR:-/tmp}/updater-bench-XXXXXX")

step "Wine prefix (null display driver)"
# shellcheck source=wine/prefix.sh
source "$ROOT/scripts/wine/prefix.sh" null
trap 'wine_prefix_cleanup; rm -f "$RESULTS"' EXIT
# One wineserver for the whole run, so no measurement pays for its start.
"$WINESERVER" -p

# Wine reaches the Unix root through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
DRIVE_C=$WINEPREFIX/drive_c
BENCH=$DRIVE_C/bench

now_ns() { date +%s%N; }

# make_medium ITEM COUNT BYTES [PER_FOLDER]: COUNT files of BYTES random
# bytes under ITEM/medium/GAME, the update.ini that lists them, an empty game
# folder. With PER_FOLDER the files lie in folders of that many, as a game's
# do: Wine looks a name that does not exist yet up by reading its whole
# folder, so each file created in a folder of thousands costs Wine a pass
# over them that Windows' indexed folders do not pay.
make_medium() {
  local item=$1 count=$2 bytes=$3 per=${4:-0} dir=$BENCH/$1
  mkdir -p "$dir/medium/GAME" "$dir/game" "$dir/cpdest"
  head -c "$bytes" /dev/urandom >"$dir/medium/GAME/f00000.bin"
  # One process for all the copies: thousands of cp runs would take longer
  # than the items themselves.
  python3 -c '
import os, shutil, sys
folder, count, per = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
entries = ["f%05d.bin" % i if per == 0 else "d%03d\\f%05d.bin" % (i // per, i) for i in range(count)]
for entry in entries[1:]:
    path = os.path.join(folder, entry.replace("\\", "/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    shutil.copyfile(folder + "/f00000.bin", path)
if per:
    os.makedirs(folder + "/d000", exist_ok=True)
    os.replace(folder + "/f00000.bin", folder + "/d000/f00000.bin")
open(folder + "/../entries", "w").write("\r\n".join(entries) + "\r\n")
' "$dir/medium/GAME" "$count" "$per"
  {
    printf '#TITLE "Bench"\r\n#REG_T bench_%s\r\n#INSTALL_LST\r\n[DATA]\r\n##\r\n#FILE\r\n[DATA]\r\n' "$item"
    cat "$dir/medium/entries"
    printf '##\r\n'
  } >"$dir/medium/update.ini"
  rm "$dir/medium/entries"
}

record() { echo "$1 $2 $3 $4" >>"$RESULTS"; }

# pack_medium ITEM KEY: makes ITEM's medium a packed one, as a publisher's
# is: update.sha256 and an update.exe bound to it beside update.ini. False,
# with the refusal recorded under KEY, when update-pack refuses the medium.
pack_medium() {
  local out
  if ! out=$("$PACK" --bind "$BENCH/$1/medium" --exe "$UPDATE" 2>&1); then
    echo "bench: $2: not measured: update-pack refused the medium:" >&2
    grep -E 'error|^update-pack:' <<<"$out" | head -n 5 >&2 || true
    record "$2" refused-pack 1 0
    return 1
  fi
}

# drive ARGS...: one bench_driver run, its output in OUT and its exit status
# in CODE (3: update.exe refused the medium, 4: it completed with fewer
# files than listed).
drive() {
  CODE=0
  OUT=$("$WINE" "$DRIVER" "$@" | tr -d '\r') || CODE=$?
}
field() { awk -v key="$1" '$1 == key {print $2}' <<<"$OUT"; }

# refused KEY: after a run in which update.exe refused the medium, records
# that and says why; the item's further runs are left out.
refused() {
  echo "bench: $1: not measured: the update refused the medium: $(sed -n 's/^refused //p' <<<"$OUT")" >&2
  record "$1" refused-update 1 0
}

# The update.exe of a packed medium is its own, bound to its list.
exe_of() {
  if [ -e "$BENCH/$1/medium/update.exe" ]; then
    printf 'C:\\bench\\%s\\medium\\update.exe' "$1"
  else
    windows_path "$UPDATE"
  fi
}

# update_run ITEM COUNT BYTES RUN [GAME_TREE]: one update from an empty game
# folder, or from a copy of GAME_TREE: its time and update.exe's peak working
# set. False when update.exe refused the medium or left files out.
update_run() {
  local item=$1 dir=$BENCH/$1 ms
  rm -rf "$dir/game"
  if [ -n "${5:-}" ]; then cp -r "$5" "$dir/game"; else mkdir "$dir/game"; fi
  sync
  drive update "$(exe_of "$item")" "C:\\bench\\$item\\medium" \
    "C:\\bench\\$item\\game" "bench_$item" "$2" "$3"
  if [ "$CODE" = 3 ]; then
    refused "$item"
    return 1
  fi
  if [ "$CODE" = 4 ]; then
    echo "bench: $item: not measured: the update copied $(field short) of $2 files" >&2
    record "$item" short 1 "$(field short)"
    return 1
  fi
  ms=$(field ms)
  [ "$CODE" = 0 ] && [ -n "$ms" ] || { echo "bench: update run of $item failed" >&2; exit 1; }
  record "$item" update "$4" "$ms"
  record "$item" peak "$4" "$(field peak)"
}

# native_run ITEM RUN: ITEM's files by fsync_rename_loop into an empty
# folder beside the game folder, the disk flushed first.
native_run() {
  local item=$1 dir=$BENCH/$1 out ms
  rm -rf "$dir/cpdest" && mkdir "$dir/cpdest" && sync
  out=$("$NATIVE_LOOP" "$dir/medium/GAME" "$dir/cpdest")
  ms=$(awk '$1 == "ms" {print $2}' <<<"$out")
  [ -n "$ms" ] || { echo "bench: native loop over $item failed" >&2; exit 1; }
  record "$item" native "$2" "$ms"
}

# cp_run ITEM RUN: the same files with cp, same disk, same conditions: an
# empty destination, the disk flushed first, the time up to cp's exit.
cp_run() {
  local item=$1 dir=$BENCH/$1 t0 t1
  rm -rf "$dir/cpdest" && mkdir "$dir/cpdest" && sync
  t0=$(now_ns)
  cp "$dir"/medium/GAME/* "$dir/cpdest/"
  t1=$(now_ns)
  record "$item" cp "$2" "$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", (b - a) / 1e6}')"
}

# copy_run ITEM MODE RUN: the same files copied by bench_driver outside the
# dialog, with the updater's copy step (MODE step, or stephash with each
# file's SHA-256 checked as update.sha256 has it) or CopyFileW (copyfile).
copy_run() {
  local item=$1 dir=$BENCH/$1 ms
  rm -rf "$dir/cpdest" && mkdir "$dir/cpdest" && sync
  drive copy "$2" "C:\\bench\\$item\\medium\\GAME" "C:\\bench\\$item\\cpdest"
  ms=$(field ms)
  [ "$CODE" = 0 ] && [ -n "$ms" ] || { echo "bench: $2 copy of $item failed" >&2; exit 1; }
  record "$item" "$2" "$3" "$ms"
}

# answer_run ITEM KEY RUN: one update of ITEM's medium while bench_driver
# sends the copy dialog WM_NULL every 10 ms: the worst answer, the answers
# over 100 ms, the answers timed and the progress bar positions seen,
# recorded under KEY.
# False when update.exe refused the medium.
answer_run() {
  local item=$1 key=$2 dir=$BENCH/$1 ms positions
  rm -rf "$dir/game" && mkdir "$dir/game" && sync
  drive answer "$(exe_of "$item")" "C:\\bench\\$item\\medium" \
    "C:\\bench\\$item\\game" "bench_$item"
  if [ "$CODE" = 3 ]; then
    refused "$key"
    return 1
  fi
  ms=$(field ms)
  positions=$(field positions)
  [ "$CODE" = 0 ] && [ -n "$ms" ] && [ -n "$positions" ] ||
    { echo "bench: answer run of $key failed" >&2; exit 1; }
  record "$key" answer "$3" "$ms"
  record "$key" slow "$3" "$(field slow)"
  record "$key" samples "$3" "$(field samples)"
  record "$key" positions "$3" "$positions"
}

step "media"
make_medium small16 16 4096
make_medium small64 64 4096
make_medium small256 256 4096
make_medium many "$MANY" 4096
make_medium manyfolders "$MANY" 4096 100
make_medium mb "$MB_FILES" $((1024 * 1024))
LARGE=$((LARGE_MB * 1024 * 1024))
make_medium large1 1 "$LARGE"
make_medium large64 64 $((LARGE / 64))

# Run 0 is the warm-up; the report leaves it out.
for sizes in "small16 16 4096" "small64 64 4096" "small256 256 4096" "many $MANY 4096" \
  "manyfolders $MANY 4096" "mb $MB_FILES $((1024 * 1024))"; do
  read -r item count bytes <<<"$sizes"
  step "$item: update of $count files of $bytes bytes and the native loop in turn"
  for ((r = 0; r <= RUNS; r++)); do
    update_run "$item" "$count" "$bytes" "$r" || break
    native_run "$item" "$r"
  done
done
# small16 stays: start-up runs in its medium.
rm -rf "$BENCH/small64" "$BENCH/small256" "$BENCH/manyfolders" "$BENCH/mb"

for sizes in "large1 1 $LARGE" "large64 64 $((LARGE / 64))"; do
  read -r item count bytes <<<"$sizes"
  step "$item: updater, its copy step alone, CopyFileW alone and cp in turn"
  for ((r = 0; r <= RUNS; r++)); do
    update_run "$item" "$count" "$bytes" "$r"
    copy_run "$item" step "$r"
    # The same step with the file's line of update.sha256: hashed as copied.
    if [ "$item" = large1 ]; then copy_run "$item" stephash "$r"; fi
    copy_run "$item" copyfile "$r"
    cp_run "$item" "$r"
  done
done
rm -rf "$BENCH/large1" "$BENCH/large64"

# The peak working set on packed media, update.sha256 read as well: one of
# today's size and one of tens of thousands of entries.
for sizes in "mem256 256 4096" "memmany $MEM_ENTRIES 64"; do
  read -r item count bytes <<<"$sizes"
  step "$item: peak working set, $count entries, packed"
  make_medium "$item" "$count" "$bytes" 100
  if pack_medium "$item" "$item"; then
    for ((r = 0; r <= MEM_RUNS; r++)); do update_run "$item" "$count" "$bytes" "$r" || break; done
  fi
  rm -rf "${BENCH:?}/$item"
done

step "answers of the copy dialog during $MANY files of 4 KB, packed"
if pack_medium many answermany; then
  for ((r = 0; r <= RUNS; r++)); do answer_run many answermany "$r" || break; done
fi
rm -rf "$BENCH/many"

step "answers of the copy dialog during one file of $ANSWER_MB MB, unlisted, then packed"
# Real bytes, so that the copy takes its time: one random MiB repeated.
make_medium answer 1 $((1024 * 1024))
mv "$BENCH/answer/medium/GAME/f00000.bin" "$BENCH/answer/block"
for ((i = 0; i < ANSWER_MB; i++)); do cat "$BENCH/answer/block"; done \
  >"$BENCH/answer/medium/GAME/f00000.bin"
rm "$BENCH/answer/block"
for ((r = 0; r <= RUNS; r++)); do answer_run answer answer "$r" || break; done
if pack_medium answer answerpacked; then
  for ((r = 0; r <= RUNS; r++)); do answer_run answer answerpacked "$r" || break; done
fi
rm -rf "$BENCH/answer"

# A game's released versions: the update carries VERSION_FILES files of 1 MB
# that changed, besides 1,000 files of 4 KB that did not, which the record
# lists with their sizes. Its first update on the old game, with the record
# (every carried file hashed before the copy) and on a medium bound to the
# same list without it; then a second run on the updated game, which hashes
# the carried files and ends with the message that the update is applied.
step "version record: $VERSION_FILES changed files of 1 MB among 1,000 of 4 KB"
VERSIONS=$BENCH/versiontrees
python3 -c '
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
same = os.urandom(4096)
for version in ("1.00", "1.01"):
    for i in range(count):
        folder = "%s/%s/changed/d%02d" % (root, version, i // 100)
        os.makedirs(folder, exist_ok=True)
        open("%s/c%04d.bin" % (folder, i), "wb").write(os.urandom(1024 * 1024))
    for i in range(1000):
        folder = "%s/%s/same/d%02d" % (root, version, i // 100)
        os.makedirs(folder, exist_ok=True)
        open("%s/s%04d.bin" % (folder, i), "wb").write(same)
' "$VERSIONS" "$VERSION_FILES"
for item in versions versionsbare; do
  mkdir -p "$BENCH/$item"
  if ! out=$("$PACK" --old "$VERSIONS/1.00" "$VERSIONS/1.01" "$BENCH/$item/medium" \
    --title Bench --reg-t "bench_$item" --exe "$UPDATE" 2>&1); then
    echo "bench: $item: not measured: update-pack refused the medium: $out" >&2
    record "$item" refused-pack 1 0
  fi
done
# The same list without the record: what the record costs.
if [ -e "$BENCH/versionsbare/medium/update.versions" ]; then
  rm "$BENCH/versionsbare/medium/update.versions"
  pack_medium versionsbare versionsbare || true
fi
if [ -e "$BENCH/versions/medium/update.ini" ]; then
  for ((r = 0; r <= RUNS; r++)); do
    update_run versions "$VERSION_FILES" $((1024 * 1024)) "$r" "$VERSIONS/1.00" || break
    drive rerun "$(exe_of versions)" 'C:\bench\versions\medium' 'C:\bench\versions\game' \
      bench_versions
    if [ "$CODE" = 3 ]; then
      refused versionsrerun
      break
    fi
    [ "$CODE" = 0 ] || { echo "bench: second run of versions failed: $OUT" >&2; break; }
    record versions rerun "$r" "$(field ms)"
    if [ -e "$BENCH/versionsbare/medium/update.ini" ]; then
      update_run versionsbare "$VERSION_FILES" $((1024 * 1024)) "$r" "$VERSIONS/1.00" || true
    fi
  done
fi
rm -rf "$VERSIONS" "$BENCH/versions" "$BENCH/versionsbare"

# Start-up varies more from run to run than the rest, and costs little.
step "start-up: update.exe and the minimal dialog programs in turn"
for ((r = 0; r <= 3 * RUNS; r++)); do
  for exe in update:"$UPDATE" minimal:"$WIN/bench/minimal_dialog.exe" \
    manifest:"$WIN/bench/minimal_manifest.exe"; do
    drive startup "$(windows_path "${exe#*:}")" 'C:\bench\small16\medium'
    ms=$(field ms)
    [ "$CODE" = 0 ] && [ -n "$ms" ] ||
      { echo "bench: start-up run of ${exe%%:*} failed" >&2; exit 1; }
    record startup "${exe%%:*}" "$r" "$ms"
  done
done

step "parse_bench"
build/bench/bench/parse_bench --benchmark_format=json >"$RESULTS.parse.json" 2>/dev/null

step "report"
python3 "$ROOT/bench/report.py" --results "$RESULTS" --parse-json "$RESULTS.parse.json" \
  --update-exe "$UPDATE" --large-mb "$LARGE_MB" --answer-mb "$ANSWER_MB" \
  --many "$MANY" --mb-files "$MB_FILES" --mem-entries "$MEM_ENTRIES" \
  --version-files "$VERSION_FILES" \
  --wine "$("$WINE" --version)" --build "$WINDOWS_BUILD_LABEL"
rm -f "$RESULTS.parse.json"
