#!/bin/bash
# Source this to get a private, headless Wine prefix for one test run:
#   source scripts/wine/prefix.sh [DISPLAY_MODE]
# DISPLAY_MODE "null" (default) uses Wine's null display driver, so dialogs
# run without an X server; "x11" leaves the X11 driver on for screenshots.
# Exports WINEPREFIX, WINEARCH, WINEDEBUG and WINE; the caller removes
# $WINE_TEST_ROOT when done (wine_prefix_cleanup does both).

WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$WINESERVER" ] || WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
export WINE WINESERVER
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

WINE_TEST_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/updater-wine-XXXXXX")
export WINE_TEST_ROOT
export WINEPREFIX="$WINE_TEST_ROOT/prefix"

"$WINE" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w
if [ "${1:-null}" = "null" ]; then
  "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # The driver is read when the wineserver starts.
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w
fi

wine_prefix_cleanup() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  rm -rf "$WINE_TEST_ROOT"
}
