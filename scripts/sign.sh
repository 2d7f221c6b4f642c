#!/bin/bash
# Signs a Windows program in place with Authenticode (SHA-256), using the
# publisher's own certificate, so that SmartScreen and the UAC prompt name
# the publisher. The build itself stays unsigned.
#   bash scripts/sign.sh EXE PFX [PASSWORD]
# SIGN_TIMESTAMP_URL, when set, names an RFC 3161 timestamp server, so the
# signature stays valid after the certificate expires.
# The program is signed into a temporary file beside it and moved over it
# only once signed: a failure leaves the program exactly as it was.
set -euo pipefail

fail() {
  echo "sign: $*" >&2
  exit 1
}

[ $# -ge 2 ] && [ $# -le 3 ] || fail "usage: sign.sh EXE PFX [PASSWORD]"
exe=$1 pfx=$2
export SIGN_PASSWORD=${3:-}
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

# Checked first, so that a wrong password says so rather than failing
# somewhere inside the signing tool. Older PFX files use ciphers that
# OpenSSL 3 keeps in its legacy provider.
pfx_opens() {
  openssl pkcs12 -in "$pfx" -noout -passin env:SIGN_PASSWORD "$@" >/dev/null 2>&1
}
if ! pfx_opens && ! pfx_opens -legacy; then
  fail "$pfx: cannot open the certificate: the password is wrong or the file is no PKCS#12 certificate"
fi

work=$(mktemp -d "$(dirname "$exe")/.sign-XXXXXX")
trap 'rm -rf "$work"' EXIT
printf '%s' "$SIGN_PASSWORD" >"$work/password"
timestamp=()
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
  timestamp=(-ts "$SIGN_TIMESTAMP_URL")
fi
if ! osslsigncode sign -pkcs12 "$pfx" -readpass "$work/password" -h sha256 "${timestamp[@]}" \
  -in "$exe" -out "$work/signed.exe" >"$work/log" 2>&1; then
  cat "$work/log" >&2
  fail "$exe: signing failed; the program is unchanged"
fi
chmod --reference="$exe" "$work/signed.exe"
mv -f "$work/signed.exe" "$exe"
echo "sign: $exe signed with $pfx (SHA-256${SIGN_TIMESTAMP_URL:+, timestamped})"
