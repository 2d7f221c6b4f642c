#!/bin/bash
# Runs each fuzz target for a bounded time from its seed corpus.
#   scripts/fuzz.sh BUILD_DIR   (FUZZ_SECONDS, default 60 per target)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build/clang}")
SECONDS_EACH=${FUZZ_SECONDS:-60}
mkdir -p "$BUILD/fuzz-artifacts"
for target in fuzz_parser fuzz_install_path fuzz_path_parts; do
  corpus="fuzz/corpus/${target#fuzz_}"
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/
  log="$BUILD/fuzz-artifacts/$target.log"
  echo "fuzzing $target for ${SECONDS_EACH}s"
  status=0
  "$BUILD/fuzz/$target" -max_total_time="$SECONDS_EACH" -max_len=4096 -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$BUILD/fuzz-artifacts/" "$work" >"$log" 2>&1 || status=$?
  grep -E "^stat::number_of_executed_units|^SUMMARY|property failed" "$log" || true
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then
    tail -40 "$log" >&2
    echo "fuzz target $target failed" >&2
    exit 1
  fi
done
