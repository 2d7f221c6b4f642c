#!/bin/bash
# The main job, shown on the demo game in demo/: builds update.exe and
# update-pack.exe with the Windows toolchain, makes a private Wine prefix with
# a demo install record and the game folder of version 1.00 (demo/v1.00),
# packs the medium that turns it into version 1.01 (demo/v1.01) with
# update-pack, and runs update.exe from that medium.
#
#   bash scripts/demo.sh [OUT_DIR]
#
# With $DISPLAY set, update.exe opens on that display for you to use.
# Without it, the run is headless under Xvfb: tests/e2e/demo_driver.exe drives
# the whole update and a PNG of each dialog and message box is saved in
# OUT_DIR (default out/demo). DEMO_HOLD=FILE (a path in the game folder, such
# as game.exe) keeps that file open when the update starts, as a running game
# would, so that the files-in-use box shows before the update goes on.
# DEMO_LARGE_MB=N adds to version 1.01 a new file data/movie/opening.mpg of
# N MB, so that the copy lasts long enough to be seen under way.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
OUT=$(mkdir -p "${1:-out/demo}" && cd "${1:-out/demo}" && pwd)
DEMO_BUILD=${DEMO_BUILD:-$ROOT/build/win}

bash scripts/setup.sh

echo "=== building update.exe and update-pack.exe"
# shellcheck source=wine/windows-build.sh
source "$ROOT/scripts/wine/windows-build.sh"
windows_build "$DEMO_BUILD" "${DEMO_BUILD}64" update update-pack demo_driver
BUILD=$(cd "$WINDOWS_BUILD" && pwd)
echo "=== the demo runs the $WINDOWS_BUILD_LABEL"

XVFB_PID=
SHOTS_PID=
TREES=
cleanup() {
  [ -z "$TREES" ] || rm -rf "$TREES"
  [ -n "$SHOTS_PID" ] && kill "$SHOTS_PID" 2>/dev/null
  if declare -F wine_prefix_cleanup >/dev/null; then wine_prefix_cleanup; fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  return 0
}
trap cleanup EXIT

# Polls until a file exists, for at most $2 seconds.
wait_for() {
  local i
  for ((i = 0; i < $2 * 20; i++)); do
    [ -e "$1" ] && return 0
    sleep 0.05
  done
  return 1
}

HEADLESS=
if [ -z "${DISPLAY:-}" ]; then
  HEADLESS=1
  n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -br -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  wait_for "/tmp/.X11-unix/X$n" 20 || { echo "demo: Xvfb did not start" >&2; exit 1; }
fi

echo "=== making a private Wine prefix"
# shellcheck source=wine/prefix.sh
source "$ROOT/scripts/wine/prefix.sh" x11
DRIVE_C=$WINEPREFIX/drive_c
reg() { "$WINE" reg add "$@" /f >/dev/null; }

if [ -n "$HEADLESS" ]; then
  # No window manager: unmanaged windows close at once and draw their captions.
  reg 'HKCU\Software\Wine\X11 Driver' /v Managed /d N
fi
case "${LC_ALL:-${LANG:-}}" in
  ja_JP*) ;;
  *)
    # The dialogs ask for Japanese fonts that only a Japanese system has.
    for font in 'ＭＳ Ｐゴシック' 'ＭＳ ゴシック' 'MS UI Gothic' 'MS PGothic' 'MS Gothic'; do
      reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$font" /d 'IPAPGothic'
    done
    ;;
esac

# The demo install record: where the installer put the game.
REG_T=HOSHIFURU_DEMO
GAME_DIR='C:\Games\Hoshifuru'
mkdir -p "$DRIVE_C/Games/Hoshifuru"
cp -r demo/v1.00/. "$DRIVE_C/Games/Hoshifuru/"
reg "HKCU\\Software\\CORVID LAMP\\$REG_T" /v GAMEPATH /d "$GAME_DIR"
reg "HKCU\\Software\\CORVID LAMP\\$REG_T" /v INSTFLAG /t REG_DWORD /d 1

# The medium, packed as a publisher packs it: update.exe next to update.ini
# and GAME, which holds the files that 1.01 changed or added. The names and
# texts reach update-pack.exe as UTF-16 from a UTF-8 command line.
MEDIUM=$DRIVE_C/medium
NEW_TREE=$ROOT/demo/v1.01
if [ -n "${DEMO_LARGE_MB:-}" ]; then
  TREES=$(mktemp -d)
  NEW_TREE=$TREES/v1.01
  cp -r demo/v1.01 "$NEW_TREE"
  mkdir -p "$NEW_TREE/data/movie"
  head -c "${DEMO_LARGE_MB}M" /dev/urandom >"$NEW_TREE/data/movie/opening.mpg"
fi
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
echo "=== packing the medium with update-pack.exe"
LC_ALL=C.UTF-8 "$WINE" "$BUILD/tools/update-pack/update-pack.exe" \
  --old "$(windows_path "$ROOT/demo/v1.00")" "$(windows_path "$NEW_TREE")" 'C:\medium' \
  --title '星降る丘の物語' --title-old '星降る丘の物語 体験版' --reg-t "$REG_T" \
  --exe "$(windows_path "$BUILD/update.exe")"
"$WINESERVER" -w

if [ -z "$HEADLESS" ]; then
  echo "=== running update.exe on $DISPLAY"
  (cd "$MEDIUM" && "$WINE" update.exe) || true
else
  echo "=== running update.exe headless on $DISPLAY, driven by demo_driver.exe"
  SHOTS=$DRIVE_C/shots
  mkdir -p "$SHOTS"
  rm -f "$OUT"/*.png
  # Takes a screenshot for each request that demo_driver.exe writes.
  (
    while [ ! -e "$SHOTS/finished" ]; do
      for request in "$SHOTS"/*.request; do
        [ -e "$request" ] || continue
        name=$(basename "$request" .request)
        import -window root png:- | convert png:- -trim +repage "$OUT/$name.png"
        mv "$request" "$SHOTS/$name.done"
      done
      sleep 0.05
    done
  ) &
  SHOTS_PID=$!
  status=0
  hold=()
  [ -z "${DEMO_HOLD:-}" ] || hold=(--hold "$GAME_DIR\\${DEMO_HOLD//\//\\}")
  "$WINE" "$BUILD/tests/e2e/demo_driver.exe" 'C:\medium\update.exe' 'C:\medium' 'C:\shots' \
    "${hold[@]}" || status=$?
  touch "$SHOTS/finished"
  wait "$SHOTS_PID" || true
  SHOTS_PID=
  if [ "$status" -ne 0 ]; then
    echo "demo: the driven run failed" >&2
    exit 1
  fi
fi

echo "=== the game folder $GAME_DIR afterwards"
(cd "$DRIVE_C/Games/Hoshifuru" && find . -type f | sort | sed 's/^\.\//  /')
if [ -n "$HEADLESS" ]; then
  echo "=== screenshots in $OUT"
  ls -1 "$OUT"/*.png
fi
echo "=== the demo ran the $WINDOWS_BUILD_LABEL"
