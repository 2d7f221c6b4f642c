#!/bin/bash
# Runs the copy-fault cases (tests/e2e/copy_faults_test.cpp) under Wine in a
# private prefix and prints their table: scenario, what failed, whether the
# old files stayed intact, whether anything outside the game folder changed.
# As root it first mounts a small tmpfs and maps it as a Wine drive, for the
# full-disk case; without root that case is skipped and says why.
#   bash scripts/wine/run-copy-faults.sh BUILD_DIR [GTEST_FLAGS...]
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:-build/win}" && pwd)
shift || true

TESTS=$BUILD/tests/e2e/copy_faults_tests.exe
UPDATE=$BUILD/update.exe
for f in "$TESTS" "$UPDATE" "$BUILD/tests/e2e/hold_file.exe"; do
  if [ ! -f "$f" ]; then
    echo "run-copy-faults: $f is missing; build the Windows tree first" >&2
    exit 1
  fi
done

# Wine reaches the Unix root through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

SMALL_MOUNT=
TABLE=
cleanup() {
  # The wineserver goes first: it may still hold files on the mount.
  if [ -n "${WINE_TEST_ROOT:-}" ]; then wine_prefix_cleanup; fi
  if [ -n "$SMALL_MOUNT" ]; then
    umount "$SMALL_MOUNT" 2>/dev/null || umount -l "$SMALL_MOUNT" 2>/dev/null || true
    rmdir "$SMALL_MOUNT" 2>/dev/null || true
  fi
  if [ -n "$TABLE" ]; then rm -f "$TABLE"; fi
}
trap cleanup EXIT

# shellcheck source=prefix.sh
source "$ROOT/scripts/wine/prefix.sh" null

# The disk-full case runs only where the small drive could be made; the
# test says why it skipped through COPY_FAULTS_NO_DRIVE_REASON.
make_small_drive() {
  if [ "$(id -u)" -ne 0 ]; then
    COPY_FAULTS_NO_DRIVE_REASON="not root, so no tmpfs can be mounted"
    return
  fi
  SMALL_MOUNT=$(mktemp -d "${TMPDIR:-/tmp}/updater-small-XXXXXX")
  if ! mount -t tmpfs -o size=2m,mode=0755 updater-small "$SMALL_MOUNT"; then
    rmdir "$SMALL_MOUNT"
    SMALL_MOUNT=
    COPY_FAULTS_NO_DRIVE_REASON="mount -t tmpfs failed (no CAP_SYS_ADMIN?)"
    return
  fi
  local letter
  for letter in g h i j k l m n o p q r s t u v w x y; do
    if [ ! -e "$WINEPREFIX/dosdevices/$letter:" ]; then
      ln -s "$SMALL_MOUNT" "$WINEPREFIX/dosdevices/$letter:"
      COPY_FAULTS_SMALL_DRIVE="${letter^^}:"
      echo "small drive $COPY_FAULTS_SMALL_DRIVE is a 2 MB tmpfs at $SMALL_MOUNT"
      return
    fi
  done
  COPY_FAULTS_NO_DRIVE_REASON="no free drive letter in the Wine prefix"
}
COPY_FAULTS_SMALL_DRIVE=
COPY_FAULTS_NO_DRIVE_REASON=
make_small_drive
if [ -n "$COPY_FAULTS_NO_DRIVE_REASON" ]; then
  echo "run-copy-faults: the disk-full case is skipped: $COPY_FAULTS_NO_DRIVE_REASON"
fi
export COPY_FAULTS_SMALL_DRIVE COPY_FAULTS_NO_DRIVE_REASON

TABLE=$(mktemp "${TMPDIR:-/tmp}/copy-faults-table-XXXXXX")
export COPY_FAULTS_TABLE
COPY_FAULTS_TABLE=$(windows_path "$TABLE")
status=0
UPDATE_EXE=$(windows_path "$UPDATE") "$WINE" "$TESTS" "$@" || status=$?
if [ -s "$TABLE" ]; then cat "$TABLE"; fi
if [ "$status" -ne 0 ]; then
  echo "run-copy-faults: FAILED (exit $status)" >&2
  exit "$status"
fi
echo "copy-fault cases passed"
