#!/bin/bash
# Runs the Windows suites under Wine against a cross-build folder: the
# shipped x86 build where Wine can start 32-bit programs, otherwise the x64
# build (scripts/test.sh picks it).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/win}
for suite in scripts/wine/run-*.sh; do
  [ -f "$suite" ] || continue
  echo "--- $suite"
  bash "$suite" "$BUILD"
done
