#!/bin/bash
# Static checks of the shipped x86 update.exe, which need no Wine: a PE32
# x86 program with ASLR, DEP and the terminal-server flag, importing only
# allowlisted functions that Windows 7 SP1 has, every DLL but kernel32 and
# the C runtime delay-loaded through tables the loader can fill.
#   bash scripts/check-shipped.sh BUILD_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: check-shipped.sh BUILD_DIR}" && pwd)
cd "$(dirname "$0")/.."

python3 tests/win/check_imports.py "$BUILD/update.exe"

# The check itself must refuse an import that is not listed and one that is
# newer than Windows 7 SP1.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
grep -v '^kernel32.dll *CloseHandle ' tests/win/imports_allowlist.txt >"$scratch/unlisted.txt"
sed 's/^\(kernel32.dll *CloseHandle *\).*/\18/' tests/win/imports_allowlist.txt >"$scratch/newer.txt"
for list in unlisted newer; do
  if python3 tests/win/check_imports.py "$BUILD/update.exe" "$scratch/$list.txt" 2>/dev/null >&2; then
    echo "check-shipped: the imports check passed with a $list CloseHandle" >&2
    exit 1
  fi
done

# ... and a delay slot that does not lead to the program's delay-load thunk,
# as when the linker sorted the delay tables into another DLL's imports.
python3 - "$BUILD/update.exe" "$scratch/zeroed.exe" <<'PY'
import sys
sys.path.insert(0, "tests/win")
from pe_imports import Image
data = bytearray(open(sys.argv[1], "rb").read())
image = Image(bytes(data))
dll, _, _, iat, _ = image.delay_descriptors()[-1]
slot = image.offset(iat)
data[slot:slot + (8 if image.pe32plus else 4)] = bytes(8 if image.pe32plus else 4)
open(sys.argv[2], "wb").write(data)
PY
if python3 tests/win/check_imports.py "$scratch/zeroed.exe" 2>/dev/null >&2; then
  echo "check-shipped: the imports check passed with a zeroed delay slot" >&2
  exit 1
fi
echo "check-shipped: the imports check refuses unlisted and too new imports and a zeroed delay slot"
