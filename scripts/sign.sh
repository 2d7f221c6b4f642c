#!/bin/bash
# Signs a Windows program in place with Authenticode (SHA-256), using the
# publisher's own certificate, so that SmartScreen and the UAC prompt name
# the publisher. The build itself stays unsigned.
#   SIGN_PFX_PASSWORD=... bash scripts/sign.sh EXE PFX
#   bash scripts/sign.sh EXE PFX          (asks for the password on a terminal)
# The password never goes on a command line, where every user of the machine
# could read it (ps, /proc) and the shell would keep it in its history.
# SIGN_TIMESTAMP_URL, when set, names an RFC 3161 timestamp server, so the
# signature stays valid after the certificate expires.
# The program is signed into a temporary file beside it and moved over it
# only once signed: a failure leaves the program exactly as it was. The
# password file lives in a private folder under $TMPDIR, never beside the
# program, which is usually on the medium that ships.
set -euo pipefail

fail() {
  echo "sign: $*" >&2
  exit 1
}

if [ $# -eq 3 ]; then
  fail "the password is not taken as an argument (others could read it):" \
    "set SIGN_PFX_PASSWORD, or run sign.sh on a terminal to be asked for it"
fi
[ $# -eq 2 ] || fail "usage: [SIGN_PFX_PASSWORD=...] sign.sh EXE PFX"
exe=$1 pfx=$2
command -v osslsigncode >/dev/null || fail "osslsigncode is not installed (scripts/setup.sh installs it)"
[ -f "$exe" ] || fail "$exe: no such file"
[ -w "$exe" ] || fail "$exe: not writable"
[ -r "$pfx" ] || fail "$pfx: cannot read the certificate file"

# An MZ header whose e_lfanew points at the PE signature.
is_pe() {
  [ "$(head -c 2 "$1" | od -An -c | tr -d ' ')" = "MZ" ] || return 1
  local offset
  offset=$(od -An -tu4 -j 60 -N 4 "$1" | tr -d ' ')
  [ -n "$offset" ] && [ "$(od -An -c -j "$offset" -N 4 "$1" | tr -d ' ')" = 'PE\0\0' ]
}
is_pe "$exe" || fail "$exe: not a Windows program (no PE header)"

# The digest (64 hex digits) in each fingerprint slot of the program: 16
# marker bytes, 32 digest bytes, 16 closing marker bytes. The marker ends in
# CR LF, so it ends a line for grep, which gives the byte offset of each.
slot_digests() {
  local offset
  LC_ALL=C grep -obaP '\x89MEDIUM-SHA256\r$' "$1" | cut -d: -f1 | while read -r offset; do
    [ "$(od -An -tx1 -v -j $((offset + 48)) -N 16 "$1" | tr -d ' \n')" = \
      0a0d444e452d544e4952505245474e89 ] || continue
    od -An -tx1 -v -j $((offset + 16)) -N 32 "$1" | tr -d ' \n'
    echo
  done || true
}
# Signed, a program bound to no medium would refuse every medium (the
# updater will not vouch with the publisher's name for files nobody
# listed); and binding it after signing would break the signature.
bind_first="bind it to its medium first: update-pack --bind MEDIUM_DIR --exe $exe (or pack with --exe), then sign MEDIUM_DIR/update.exe"
digests=$(slot_digests "$exe")
slots=$(printf '%s' "$digests" | grep -c . || true)
case $slots in
  0) fail "$exe: no fingerprint slot: not the updater, or one too old to be bound to a medium" ;;
  1) ;;
  *) fail "$exe: more than one fingerprint slot: not a program update-pack can bind" ;;
esac
[ "$digests" != "$(printf '0%.0s' {1..64})" ] || fail "$exe is bound to no medium; $bind_first"

if [ -n "${SIGN_PFX_PASSWORD+set}" ]; then
  password=$SIGN_PFX_PASSWORD
elif [ -t 0 ]; then
  IFS= read -rs -p "Password of $pfx: " password || fail "no password read"
  echo >&2
else
  fail "no password: set SIGN_PFX_PASSWORD, or run sign.sh on a terminal to be asked for it"
fi
unset SIGN_PFX_PASSWORD

# mktemp -d makes the folder readable by its owner only. The traps remove it
# on every exit that a shell can see; after a SIGKILL it stays there, private.
work=$(mktemp -d "${TMPDIR:-/tmp}/sign-XXXXXX")
signed=
cleanup() {
  rm -rf "$work"
  [ -z "$signed" ] || rm -f "$signed"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
(
  umask 077
  printf '%s' "$password" >"$work/password"
)
unset password

# Checked first, so that a wrong password says so rather than failing
# somewhere inside the signing tool. Older PFX files use ciphers that
# OpenSSL 3 keeps in its legacy provider.
pfx_opens() {
  openssl pkcs12 -in "$pfx" -noout -passin "file:$work/password" "$@" >/dev/null 2>&1
}
if ! pfx_opens && ! pfx_opens -legacy; then
  fail "$pfx: cannot open the certificate: the password is wrong or the file is no PKCS#12 certificate"
fi

# Beside the program, so that the final move is one rename on one file system.
signed=$(mktemp "$(dirname "$exe")/.sign-XXXXXX.exe")
timestamp=()
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$SIGN_TIMESTAMP_URL")
fi
# osslsigncode refuses to write over an existing file.
rm -f "$signed"
if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 "${timestamp[@]}" \
  -in "$exe" -out "$signed" >"$work/log" 2>&1; then
  cat "$work/log" >&2
  fail "$exe: signing failed; the program is unchanged"
fi
chmod --reference="$exe" "$signed"
mv -f "$signed" "$exe"
signed=
echo "sign: $exe signed with $pfx (SHA-256${SIGN_TIMESTAMP_URL:+, timestamped})"
