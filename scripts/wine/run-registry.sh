#!/bin/bash
# The Windows unit tests: checks that update.exe needs no DLL beside the
# system's, then runs win_tests.exe (install record, copy of one file,
# resources) under wine64 in a private headless prefix.
#   bash scripts/wine/run-registry.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: run-registry.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/../.."

bash tests/win/check_imports.sh "$BUILD/update.exe"

source scripts/wine/prefix.sh
trap wine_prefix_cleanup EXIT
echo "run-registry: running win_tests.exe under wine64"
"$WINE" "$BUILD/tests/win/win_tests.exe" --gtest_color=no
