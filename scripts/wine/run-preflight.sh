#!/bin/bash
# Runs the checks made before the copy (tests/e2e/preflight_test.cpp) under
# Wine in a private prefix. It first makes a game folder that cannot be
# written and, as root, a Wine drive on an 8 MB tmpfs; without root the
# small-drive case is skipped and says why.
#   bash scripts/wine/run-preflight.sh BUILD_DIR [GTEST_FLAGS...]
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:-build/win}" && pwd)
shift || true

TESTS=$BUILD/tests/e2e/preflight_tests.exe
UPDATE=$BUILD/update.exe
for f in "$TESTS" "$UPDATE" "$BUILD/tests/e2e/hold_file.exe"; do
  if [ ! -f "$f" ]; then
    echo "run-preflight: $f is missing; build the Windows tree first" >&2
    exit 1
  fi
done

# Wine reaches the Unix root through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

LOCKED=
SMALL_MOUNT=
cleanup() {
  # The wineserver goes first: it may still hold files on the mount.
  if [ -n "${WINE_TEST_ROOT:-}" ]; then "$WINESERVER" -k 2>/dev/null || true; fi
  if [ -n "$LOCKED" ]; then
    chattr -i "$LOCKED" 2>/dev/null || true
    chmod u+w "$LOCKED" 2>/dev/null || true
  fi
  if [ -n "$SMALL_MOUNT" ]; then
    umount "$SMALL_MOUNT" 2>/dev/null || umount -l "$SMALL_MOUNT" 2>/dev/null || true
    rmdir "$SMALL_MOUNT" 2>/dev/null || true
  fi
  if [ -n "${WINE_TEST_ROOT:-}" ]; then wine_prefix_cleanup; fi
}
trap cleanup EXIT

# shellcheck source=prefix.sh
source "$ROOT/scripts/wine/prefix.sh" null

PREFLIGHT_LOCKED_FOLDER=
PREFLIGHT_SMALL_DRIVE=
PREFLIGHT_NO_ROOT_REASON=

# Wine as root ignores file modes, so root makes the folder immutable;
# anyone else takes its write permission away.
make_locked_folder() {
  local folder=$WINE_TEST_ROOT/locked
  mkdir -p "$folder"
  echo "old keep" >"$folder/keep.dat"
  if [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$folder"
  elif ! chattr +i "$folder" 2>/dev/null; then
    PREFLIGHT_NO_ROOT_REASON="chattr +i failed (file system without the flag?)"
    return
  fi
  LOCKED=$folder
  PREFLIGHT_LOCKED_FOLDER=$(windows_path "$folder")
}

make_small_drive() {
  SMALL_MOUNT=$(mktemp -d "${TMPDIR:-/tmp}/updater-preflight-XXXXXX")
  if ! mount -t tmpfs -o size=8m,mode=0755 updater-preflight "$SMALL_MOUNT"; then
    rmdir "$SMALL_MOUNT"
    SMALL_MOUNT=
    PREFLIGHT_NO_ROOT_REASON="mount -t tmpfs failed (no CAP_SYS_ADMIN?)"
    return
  fi
  local letter
  for letter in g h i j k l m n o p q r s t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
      ln -s "$SMALL_MOUNT" "$WINEPREFIX/dosdevices/$letter:"
      PREFLIGHT_SMALL_DRIVE="${letter^^}:"
      echo "small drive $PREFLIGHT_SMALL_DRIVE is an 8 MB tmpfs at $SMALL_MOUNT"
      return
    fi
  done
  PREFLIGHT_NO_ROOT_REASON="no free drive letter in the Wine prefix"
}

make_locked_folder
if [ "$(id -u)" -ne 0 ]; then
  PREFLIGHT_NO_ROOT_REASON="not root, so no tmpfs can be mounted"
else
  make_small_drive
fi
if [ -n "$PREFLIGHT_NO_ROOT_REASON" ]; then
  echo "run-preflight: some cases are skipped: $PREFLIGHT_NO_ROOT_REASON"
fi
export PREFLIGHT_LOCKED_FOLDER PREFLIGHT_SMALL_DRIVE PREFLIGHT_NO_ROOT_REASON

UPDATE_EXE=$(windows_path "$UPDATE") "$WINE" "$TESTS" "$@"
echo "pre-flight cases passed"
