#!/bin/bash
# Builds what the benchmarks need, runs them side by side in one private
# headless Wine prefix and prints one table of figures, ratios and targets.
#   bash scripts/bench.sh [--smoke]
# RUNS (default 5) sets the measured runs per item, start-up has three times
# as many; each item has one warm-up run besides. LARGE_MB (default 512) is
# the size of the large-file items, ANSWER_MB (default 1024) the size of the
# file during which the copy dialog's answers are timed. --smoke runs
# everything once on small files, to show that the benchmark still works.
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
fi
RUNS=${RUNS:-5}
LARGE_MB=${LARGE_MB:-512}
ANSWER_MB=${ANSWER_MB:-1024}
JOBS=${JOBS:-2}
WIN_BUILD=${WIN_BUILD:-build/bench-win}
WIN_BUILD_X64=${WIN_BUILD_X64:-${WIN_BUILD}64}

step() { echo "=== $*" >&2; }

step "native Release build (parse_bench)"
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j"$JOBS" --target parse_bench >/dev/null

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

# make_medium ITEM COUNT BYTES: COUNT files of BYTES random bytes under
# ITEM/medium/GAME, the update.ini that lists them, an empty game folder.
make_medium() {
  local item=$1 count=$2 bytes=$3 dir=$BENCH/$1
  mkdir -p "$dir/medium/GAME" "$dir/game" "$dir/cpdest"
  head -c "$bytes" /dev/urandom >"$dir/medium/GAME/f0000.bin"
  for ((i = 1; i < count; i++)); do
    cp "$dir/medium/GAME/f0000.bin" "$dir/medium/GAME/$(printf 'f%04d.bin' "$i")"
  done
  {
    printf '#TITLE "Bench"\r\n#REG_T bench_%s\r\n#INSTALL_LST\r\n[DATA]\r\n##\r\n#FILE\r\n[DATA]\r\n' "$item"
    for ((i = 0; i < count; i++)); do printf 'f%04d.bin\r\n' "$i"; done
    printf '##\r\n'
  } >"$dir/medium/update.ini"
}

record() { echo "$1 $2 $3 $4" >>"$RESULTS"; }

driver() { "$WINE" "$DRIVER" "$@" | tr -d '\r' | awk '$1 == "ms" {print $2}'; }

# update_run ITEM COUNT BYTES RUN: one update from an empty game folder.
update_run() {
  local item=$1 dir=$BENCH/$1 ms
  rm -rf "$dir/game" && mkdir "$dir/game" && sync
  ms=$(driver update "$(windows_path "$UPDATE")" "C:\\bench\\$item\\medium" \
    "C:\\bench\\$item\\game" "bench_$item" "$2" "$3")
  [ -n "$ms" ] || { echo "bench: update run of $item failed" >&2; exit 1; }
  record "$item" update "$4" "$ms"
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
  ms=$(driver copy "$2" "C:\\bench\\$item\\medium\\GAME" "C:\\bench\\$item\\cpdest")
  [ -n "$ms" ] || { echo "bench: $2 copy of $item failed" >&2; exit 1; }
  record "$item" "$2" "$3" "$ms"
}

# answer_run ITEM RUN: one update of ITEM's one large file while
# bench_driver sends the copy dialog WM_NULL every 10 ms: the worst answer
# and the progress bar positions seen.
answer_run() {
  local item=$1 dir=$BENCH/$1 out ms positions
  rm -rf "$dir/game" && mkdir "$dir/game" && sync
  out=$("$WINE" "$DRIVER" answer "$(windows_path "$UPDATE")" "C:\\bench\\$item\\medium" \
    "C:\\bench\\$item\\game" "bench_$item" | tr -d '\r')
  ms=$(awk '$1 == "ms" {print $2}' <<<"$out")
  positions=$(awk '$1 == "positions" {print $2}' <<<"$out")
  [ -n "$ms" ] && [ -n "$positions" ] || { echo "bench: answer run of $item failed" >&2; exit 1; }
  record "$item" answer "$2" "$ms"
  record "$item" positions "$2" "$positions"
}

step "media"
make_medium small16 16 4096
make_medium small64 64 4096
make_medium small256 256 4096
LARGE=$((LARGE_MB * 1024 * 1024))
make_medium large1 1 "$LARGE"
make_medium large64 64 $((LARGE / 64))

# Run 0 is the warm-up; the report leaves it out.
for n in 16 64 256; do
  step "update of $n files of 4 KB"
  for ((r = 0; r <= RUNS; r++)); do update_run "small$n" "$n" 4096 "$r"; done
done
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

step "answers of the copy dialog during one file of $ANSWER_MB MB"
# Real bytes, so that the copy takes its time: one random MiB repeated.
make_medium answer 1 $((1024 * 1024))
mv "$BENCH/answer/medium/GAME/f0000.bin" "$BENCH/answer/block"
for ((i = 0; i < ANSWER_MB; i++)); do cat "$BENCH/answer/block"; done \
  >"$BENCH/answer/medium/GAME/f0000.bin"
rm "$BENCH/answer/block"
for ((r = 0; r <= RUNS; r++)); do answer_run answer "$r"; done
rm -rf "$BENCH/answer"

# Start-up varies more from run to run than the rest, and costs little.
step "start-up: update.exe and the minimal dialog programs in turn"
for ((r = 0; r <= 3 * RUNS; r++)); do
  for exe in update:"$UPDATE" minimal:"$WIN/bench/minimal_dialog.exe" \
    manifest:"$WIN/bench/minimal_manifest.exe"; do
    ms=$(driver startup "$(windows_path "${exe#*:}")" 'C:\bench\small16\medium')
    [ -n "$ms" ] || { echo "bench: start-up run of ${exe%%:*} failed" >&2; exit 1; }
    record startup "${exe%%:*}" "$r" "$ms"
  done
done

step "parse_bench"
build/bench/bench/parse_bench --benchmark_format=json >"$RESULTS.parse.json" 2>/dev/null

step "report"
python3 "$ROOT/bench/report.py" --results "$RESULTS" --parse-json "$RESULTS.parse.json" \
  --update-exe "$UPDATE" --large-mb "$LARGE_MB" --answer-mb "$ANSWER_MB" \
  --wine "$("$WINE" --version)" --build "$WINDOWS_BUILD_LABEL"
rm -f "$RESULTS.parse.json"
