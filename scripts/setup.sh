#!/bin/bash
# Installs every Debian package the build, the tests and the demo need.
# Safe to run again: it installs only what is missing.
#
# A mirror can be mid-sync for one architecture for hours ("File has
# unexpected size ... Mirror sync in progress?"). Only Wine's 32-bit half
# needs the i386 indexes, so it is installed in a step of its own that may
# fail: the Windows suites then run on the x64 build instead of the shipped
# x86 one. Everything else must install.
set -euo pipefail

PACKAGES=(
  cmake make g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev libssl-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb x11-apps imagemagick fonts-ipafont-gothic locales
  osslsigncode openssl python3 strace
)
# The shipped program is 32-bit: Wine runs it through its WoW64 support,
# which needs the i386 half of Wine.
WINE32=wine32:i386
RETRY_DELAY=${SETUP_RETRY_DELAY:-5}

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: $1 needs root" >&2
    exit 1
  fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# A failed index is ignored by apt (it keeps the old one or none); what
# cannot be installed without it fails later, in the step that needs it.
update_indexes() {
  local try
  for try in 1 2 3; do
    if apt-get -o Acquire::Retries=3 update -q; then
      return 0
    fi
    [ "$try" = 3 ] || sleep "$RETRY_DELAY"
  done
  echo "setup: warning: apt-get update still fails for some indexes after 3 tries; going on with the others" >&2
}

missing=()
for p in "${PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done
need_wine32=0
installed "$WINE32" || need_wine32=1

if [ ${#missing[@]} -eq 0 ] && [ "$need_wine32" = 0 ]; then
  exit 0
fi
# The tests can do without Wine's 32-bit half: not being root is no reason
# to stop them.
if [ ${#missing[@]} -eq 0 ] && [ "$(id -u)" -ne 0 ]; then
  echo "setup: $WINE32 is not installed; the Windows suites run on the x64 build." \
    "To install it, run as root: bash scripts/setup.sh" >&2
  exit 0
fi
need_root "installing ${missing[*]} ${WINE32}"
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  update_indexes
  if ! apt-get install -y -q --no-install-recommends "${missing[@]}"; then
    echo "setup: error: could not install ${missing[*]}" >&2
    exit 1
  fi
fi

[ "$need_wine32" = 1 ] || exit 0

added_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_i386=1
fi
echo "setup: installing $WINE32"
update_indexes
# An index of another date than the installed packages' can make apt
# resolve by removing them; wine32 is not worth any of them.
if apt-get install -y -q --no-install-recommends --no-remove "$WINE32"; then
  exit 0
fi

removed=""
if [ "$added_i386" = 1 ] &&
  ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
  dpkg --remove-architecture i386
  removed="
  The i386 architecture that setup added was removed again."
fi
cat >&2 <<EOF

setup: Wine's 32-bit half ($WINE32) could not be installed: the package
  mirror's i386 indexes are missing or do not match (often a mirror that is
  mid-sync). Wine cannot start 32-bit programs here, so the Windows suites
  and the demo will run on the x64 build instead of the shipped x86 one.$removed
  To retry later: bash scripts/setup.sh

EOF
exit 0
