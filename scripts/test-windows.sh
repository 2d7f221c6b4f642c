#!/bin/bash
# Runs the Windows suites under Wine against a cross-build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build/win}
for suite in scripts/wine/run-*.sh; do
  [ -f "$suite" ] || continue
  echo "--- $suite"
  bash "$suite" "$BUILD"
done
