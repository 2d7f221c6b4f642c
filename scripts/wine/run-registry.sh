#!/bin/bash
# The Windows unit tests: runs win_tests.exe (install record, copy of one
# file, resources) and dll_fallback_test.exe (the DLL search without
# SetDefaultDllDirectories) under Wine in a private headless prefix.
#   bash scripts/wine/run-registry.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: run-registry.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/../.."

# An explicit mode: a sourced script sees this one's arguments as its own.
source scripts/wine/prefix.sh null
trap wine_prefix_cleanup EXIT
echo "run-registry: running win_tests.exe under Wine"
"$WINE" "$BUILD/tests/win/win_tests.exe" --gtest_color=no

# The fallback test plants DLLs beside itself: a folder of its own.
echo "run-registry: running dll_fallback_test.exe under Wine"
mkdir "$WINE_TEST_ROOT/fallback"
cp "$BUILD/tests/win/dll_fallback_test.exe" "$WINE_TEST_ROOT/fallback/"
"$WINE" "$WINE_TEST_ROOT/fallback/dll_fallback_test.exe" \
  "Z:${BUILD//\//\\}\\tests\\e2e\\planted_dll.dll"
