#!/bin/bash
# The Windows unit tests: checks what update.exe imports and how its header
# is flagged, then runs win_tests.exe (install record, copy of one file,
# resources) and dll_fallback_test.exe (the DLL search without
# SetDefaultDllDirectories) under Wine in a private headless prefix.
#   bash scripts/wine/run-registry.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: run-registry.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/../.."

python3 tests/win/check_imports.py "$BUILD/update.exe"

# The check itself must refuse an import that is not listed and one that is
# newer than Windows 7 SP1.
scratch=$(mktemp -d)
grep -v '^kernel32.dll *CloseHandle ' tests/win/imports_allowlist.txt >"$scratch/unlisted.txt"
sed 's/^\(kernel32.dll *CloseHandle *\).*/\18/' tests/win/imports_allowlist.txt >"$scratch/newer.txt"
for list in unlisted newer; do
  if python3 tests/win/check_imports.py "$BUILD/update.exe" "$scratch/$list.txt" 2>/dev/null >&2; then
    echo "run-registry: the imports check passed with a $list CloseHandle" >&2
    exit 1
  fi
done
rm -rf "$scratch"
echo "run-registry: the imports check refuses unlisted and too new imports"

source scripts/wine/prefix.sh
trap wine_prefix_cleanup EXIT
echo "run-registry: running win_tests.exe under Wine"
"$WINE" "$BUILD/tests/win/win_tests.exe" --gtest_color=no

# The fallback test plants DLLs beside itself: a folder of its own.
echo "run-registry: running dll_fallback_test.exe under Wine"
mkdir "$WINE_TEST_ROOT/fallback"
cp "$BUILD/tests/win/dll_fallback_test.exe" "$WINE_TEST_ROOT/fallback/"
"$WINE" "$WINE_TEST_ROOT/fallback/dll_fallback_test.exe" \
  "Z:${BUILD//\//\\}\\tests\\e2e\\planted_dll.dll"
