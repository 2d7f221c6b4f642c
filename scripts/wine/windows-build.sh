#!/bin/bash
# Source this, then build the Windows programs that Wine can run here:
#   source scripts/wine/windows-build.sh
#   windows_build X86_DIR X64_DIR [TARGET...]
# Always builds the shipped x86 programs into X86_DIR (MinGW needs no i386
# packages). When Wine cannot start a 32-bit program here (its i386 half is
# missing, as when a mirror mid-sync kept wine32 off the machine), builds
# the same targets for x64 into X64_DIR as well. Sets WINDOWS_BUILD to the
# folder whose programs to run, and WINDOWS_BUILD_LABEL to what the logs
# say about it. No TARGET builds everything.

windows_build_one() {
  local dir=$1 toolchain=$2 target
  shift 2
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain" >/dev/null
  if [ $# -eq 0 ]; then
    cmake --build "$dir" -j"${JOBS:-2}"
  else
    local args=()
    for target in "$@" wine_probe; do args+=(--target "$target"); done
    cmake --build "$dir" -j"${JOBS:-2}" "${args[@]}"
  fi
}

# Starts PROGRAM in a private prefix; true when it printed that it ran.
wine_starts() (
  # shellcheck source=prefix.sh
  source "$ROOT/scripts/wine/prefix.sh"
  trap wine_prefix_cleanup EXIT
  "$WINE" "$1" 2>/dev/null | grep -q "^wine_probe: "
)

windows_build() {
  local x86=$1 x64=$2
  shift 2
  windows_build_one "$x86" mingw-w64.cmake "$@"
  if wine_starts "$x86/tests/win/wine_probe.exe"; then
    WINDOWS_BUILD=$x86
    WINDOWS_BUILD_LABEL="x86 (shipped build)"
    return 0
  fi
  local why="Wine cannot start 32-bit programs here"
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    why="$why (wine32 not installed)"
  fi
  WINDOWS_BUILD_LABEL="x64 build - $why"
  echo "windows-build: $WINDOWS_BUILD_LABEL; building the x64 programs" >&2
  windows_build_one "$x64" mingw-w64-x64.cmake "$@"
  WINDOWS_BUILD=$x64
}
