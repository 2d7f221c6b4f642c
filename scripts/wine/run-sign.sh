#!/bin/bash
# Signing: scripts/sign.sh with a throwaway self-signed certificate. The
# signed update.exe must verify against that certificate and still run a
# whole update under Wine; a wrong password, an unreadable certificate and a
# file that is no program are refused and leave the file as it was.
#   bash scripts/wine/run-sign.sh BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:?usage: run-sign.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "run-sign: $*" >&2
  exit 1
}

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Updater Test Publisher" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -out "$work/publisher.pfx" -inkey "$work/key.pem" -in "$work/cert.pem" \
  -passout pass:'s3cret pass'
echo "not a certificate" >"$work/garbage.pfx"

mkdir "$work/signed"
cp "$BUILD/update.exe" "$work/signed/update.exe"
bash scripts/sign.sh "$work/signed/update.exe" "$work/publisher.pfx" 's3cret pass'
verify=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/update.exe" 2>&1) ||
  fail "the signed program does not verify: $verify"
grep -q "Signature verification: ok" <<<"$verify" || fail "no valid signature: $verify"
grep -qi "digest algorithm: SHA256" <<<"$verify" || fail "not signed with SHA-256: $verify"
echo "run-sign: signed update.exe verifies against the publisher's certificate (SHA-256)"

# refused CASE FILE PFX PASSWORD: sign.sh must fail and leave FILE and its
# folder as they were.
refused() {
  local name=$1 file=$2 before after
  before=$(sha256sum "$file"; ls -A "$(dirname "$file")")
  if bash scripts/sign.sh "$file" "$3" "$4" 2>"$work/err"; then
    fail "$name: sign.sh accepted it"
  fi
  after=$(sha256sum "$file"; ls -A "$(dirname "$file")")
  [ "$before" = "$after" ] || fail "$name: the file or its folder changed"
  echo "run-sign: $name refused: $(cat "$work/err")"
}
mkdir "$work/refused"
cp "$BUILD/update.exe" "$work/refused/update.exe"
echo "plain text, no program" >"$work/refused/readme.exe"
refused "wrong password" "$work/refused/update.exe" "$work/publisher.pfx" wrong
refused "unreadable certificate" "$work/refused/update.exe" "$work/garbage.pfx" 's3cret pass'
refused "missing certificate" "$work/refused/update.exe" "$work/none.pfx" 's3cret pass'
refused "not a program" "$work/refused/readme.exe" "$work/publisher.pfx" 's3cret pass'

# A whole update and the planted-DLL case with the signed program.
source scripts/wine/prefix.sh null
trap 'wine_prefix_cleanup; rm -rf "$work"' EXIT
UPDATE_EXE="Z:${work//\//\\}\\signed\\update.exe" "$WINE" "$BUILD/tests/e2e/e2e_tests.exe" \
  --gtest_color=no --gtest_filter='RunTest.CompleteCopiesSelectedFilesAndNamesTitle:PlantedDllTest.*'
echo "run-sign: the signed update.exe runs a whole update"
