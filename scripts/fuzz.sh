#!/bin/bash
# Runs each fuzz target for a bounded time from its seed corpus.
#   scripts/fuzz.sh BUILD_DIR [TARGET...]
# FUZZ_SECONDS: time per target (default 60). FUZZ_RUNS: stop a target after
# that many executions instead (the time limit still holds if it is set).
# FUZZ_KEEP=DIR: keep each target's grown corpus in DIR/TARGET, for merging
# into the seeds with -merge=1. FUZZ_JOBS=N: run N fuzzing processes a target,
# sharing its corpus; FUZZ_RUNS is then their total.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build/clang}")
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=(fuzz_parser fuzz_install_path fuzz_path_parts fuzz_checker fuzz_hash_list
  fuzz_version_record)
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=${FUZZ_JOBS:-1}
limits=(-max_total_time="$SECONDS_EACH")
if [ -n "${FUZZ_RUNS:-}" ]; then
  limits=(-runs="$(((FUZZ_RUNS + JOBS - 1) / JOBS))")
  [ -n "${FUZZ_SECONDS:-}" ] && limits+=(-max_total_time="$FUZZ_SECONDS")
fi
# New corpus entries are written as they are found; memory keeps that off
# the shared disk.
scratch=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
mkdir -p "$BUILD/fuzz-artifacts"
for target in "${TARGETS[@]}"; do
  name=${target#fuzz_}
  corpus="fuzz/corpus/$name"
  work=$(mktemp -d "$scratch/updater-fuzz-$name-XXXXXX")
  cp -r "$corpus"/. "$work"/
  dict=()
  [ -f "fuzz/$name.dict" ] && dict=(-dict="fuzz/$name.dict")
  # The checker's input is update.ini behind two bytes of layout.
  [ "$target" = fuzz_checker ] && dict=(-dict=fuzz/parser.dict)
  # A run of the checker checks a medium and reads back both its reports; a
  # kilobyte still holds a split line and more entries than the list takes.
  max_len=4096
  [ "$target" = fuzz_checker ] && max_len=1024
  echo "fuzzing $target (${limits[*]}, $JOBS process(es))"
  pids=()
  for job in $(seq 1 "$JOBS"); do
    log="$BUILD/fuzz-artifacts/$target.$job.log"
    "$BUILD/fuzz/$target" "${limits[@]}" -max_len="$max_len" -timeout=10 "${dict[@]}" \
      -print_final_stats=1 -artifact_prefix="$BUILD/fuzz-artifacts/" "$work" >"$log" 2>&1 &
    pids+=($!)
  done
  # A finding in one process ends the others: their runs would only delay it.
  status=0
  for _ in "${pids[@]}"; do
    wait -n || { status=$?; kill "${pids[@]}" 2>/dev/null || true; }
  done
  for job in $(seq 1 "$JOBS"); do
    log="$BUILD/fuzz-artifacts/$target.$job.log"
    grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec|^SUMMARY|property failed" \
      "$log" || true
    if [ "$status" -ne 0 ]; then tail -40 "$log" >&2; fi
  done
  if [ -n "${FUZZ_KEEP:-}" ]; then
    rm -rf "${FUZZ_KEEP:?}/$target"
    mkdir -p "$FUZZ_KEEP"
    mv "$work" "$FUZZ_KEEP/$target"
  else
    rm -rf "$work"
  fi
  if [ "$status" -ne 0 ]; then
    echo "fuzz target $target failed" >&2
    exit 1
  fi
done
