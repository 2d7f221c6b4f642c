#!/bin/bash
# The Windows unit tests: runs win_tests.exe (install record, copy of one
# file, resources) under Wine in a private headless prefix.
#   bash scripts/wine/run-registry.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: run-registry.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/../.."

source scripts/wine/prefix.sh
trap wine_prefix_cleanup EXIT
echo "run-registry: running win_tests.exe under Wine"
"$WINE" "$BUILD/tests/win/win_tests.exe" --gtest_color=no
