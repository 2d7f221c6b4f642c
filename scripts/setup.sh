#!/bin/bash
# Installs every Debian package the build, the tests and the demo need.
# Safe to run again: it installs only what is missing.
set -euo pipefail

# The shipped program is 32-bit: Wine runs it through its WoW64 support,
# which needs the i386 half of Wine.
PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 xvfb x11-apps imagemagick fonts-ipafont-gothic locales
  osslsigncode openssl python3
)

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: $1 needs root" >&2
    exit 1
  fi
}

updated=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_root "enabling the i386 architecture (for wine32)"
  dpkg --add-architecture i386
  apt-get update -q
  updated=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  need_root "installing these packages"
  export DEBIAN_FRONTEND=noninteractive
  [ "$updated" = 1 ] || apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
