#!/bin/bash
# Runs the end-to-end suite (tests/e2e) under Wine twice, once under a
# non-Japanese locale and once under a Japanese one, each in its own private
# prefix with the null display driver. The expectations are the same: the
# program must not depend on the system's code page.
#   bash scripts/wine/run-e2e.sh BUILD_DIR [GTEST_FLAGS...]
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:-build/win}" && pwd)
shift || true

TESTS=$BUILD/tests/e2e/e2e_tests.exe
UPDATE=$BUILD/update.exe
for f in "$TESTS" "$UPDATE"; do
  if [ ! -f "$f" ]; then
    echo "run-e2e: $f is missing; build the Windows tree first" >&2
    exit 1
  fi
done

# Without the compiled locale Wine falls back to code page 1252 silently.
LOCALES=$BUILD/locale
if [ ! -d "$LOCALES/ja_JP.UTF-8" ]; then
  mkdir -p "$LOCALES"
  localedef -i ja_JP -f UTF-8 "$LOCALES/ja_JP.UTF-8"
fi

# Wine reaches the Unix root through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

run_suite() {
  local lang=$1
  shift
  echo "=== end-to-end suite under LANG=$lang"
  (
    export LOCPATH=$LOCALES
    # bash itself does not look in LOCPATH and would warn; Wine does.
    { export LANG=$lang LC_ALL=$lang; } 2>/dev/null
    # shellcheck source=prefix.sh
    source "$ROOT/scripts/wine/prefix.sh" null
    trap wine_prefix_cleanup EXIT
    acp=$("$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP 2>/dev/null |
      tr -d '\r' | awk '/ACP/ {print $NF}')
    echo "Wine's ANSI code page: $acp"
    if [ "${lang#ja_JP}" != "$lang" ] && [ "$acp" != "932" ]; then
      echo "run-e2e: the Japanese locale did not take effect" >&2
      exit 1
    fi
    UPDATE_EXE=$(windows_path "$UPDATE") "$WINE" "$TESTS" "$@"
  )
}

run_suite C.UTF-8 "$@"
run_suite ja_JP.UTF-8 "$@"
echo "end-to-end suite passed under both locales"
