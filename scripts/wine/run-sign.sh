#!/bin/bash
# Signing: scripts/sign.sh with a throwaway self-signed certificate. The
# signed update.exe must verify against that certificate and still run a
# whole update under Wine; a wrong password, an unreadable certificate, a
# file that is no program and a password on the command line are refused and
# leave the file as it was; the password reaches no file beside the program,
# not even when sign.sh is killed in the middle.
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

# sign.sh keeps its private files under TMPDIR; each case checks that it
# leaves nothing there.
mkdir "$work/signed" "$work/tmp"
export TMPDIR=$work/tmp
tmp_is_empty() {
  [ -z "$(ls -A "$TMPDIR")" ] || fail "$1: sign.sh left files in TMPDIR: $(ls -A "$TMPDIR")"
}
cp "$BUILD/update.exe" "$work/signed/update.exe"
SIGN_PFX_PASSWORD='s3cret pass' bash scripts/sign.sh "$work/signed/update.exe" "$work/publisher.pfx"
tmp_is_empty "signing"
[ "$(ls -A "$work/signed")" = update.exe ] || fail "signing left files beside the program: $(ls -A "$work/signed")"
verify=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed/update.exe" 2>&1) ||
  fail "the signed program does not verify: $verify"
grep -q "Signature verification: ok" <<<"$verify" || fail "no valid signature: $verify"
grep -qi "digest algorithm: SHA256" <<<"$verify" || fail "not signed with SHA-256: $verify"
echo "run-sign: signed update.exe verifies against the publisher's certificate (SHA-256)"

# refused CASE FILE PFX PASSWORD [ARGUMENT...]: sign.sh, given PASSWORD in
# SIGN_PFX_PASSWORD (unset when PASSWORD is "-") and no terminal, must fail
# and leave FILE and its folder as they were.
refused() {
  local name=$1 file=$2 pfx=$3 password=$4 before after
  shift 4
  before=$(sha256sum "$file"; ls -A "$(dirname "$file")")
  if [ "$password" = - ]; then
    if env -u SIGN_PFX_PASSWORD bash scripts/sign.sh "$file" "$pfx" "$@" </dev/null 2>"$work/err"; then
      fail "$name: sign.sh accepted it"
    fi
  elif SIGN_PFX_PASSWORD=$password bash scripts/sign.sh "$file" "$pfx" "$@" </dev/null 2>"$work/err"; then
    fail "$name: sign.sh accepted it"
  fi
  after=$(sha256sum "$file"; ls -A "$(dirname "$file")")
  [ "$before" = "$after" ] || fail "$name: the file or its folder changed"
  tmp_is_empty "$name"
  echo "run-sign: $name refused: $(cat "$work/err")"
}
mkdir "$work/refused"
cp "$BUILD/update.exe" "$work/refused/update.exe"
echo "plain text, no program" >"$work/refused/readme.exe"
refused "wrong password" "$work/refused/update.exe" "$work/publisher.pfx" wrong
refused "unreadable certificate" "$work/refused/update.exe" "$work/garbage.pfx" 's3cret pass'
refused "missing certificate" "$work/refused/update.exe" "$work/none.pfx" 's3cret pass'
refused "not a program" "$work/refused/readme.exe" "$work/publisher.pfx" 's3cret pass'
refused "password as an argument" "$work/refused/update.exe" "$work/publisher.pfx" - 's3cret pass'
grep -q SIGN_PFX_PASSWORD "$work/err" || fail "the refusal does not say how to pass the password"
refused "no password and no terminal" "$work/refused/update.exe" "$work/publisher.pfx" -
grep -q SIGN_PFX_PASSWORD "$work/err" || fail "the refusal does not say how to pass the password"

# On a terminal sign.sh asks for the password without echoing it.
if command -v script >/dev/null; then
  mkdir "$work/prompt"
  cp "$BUILD/update.exe" "$work/prompt/update.exe"
  printf 's3cret pass\n' | env -u SIGN_PFX_PASSWORD script -qec \
    "bash scripts/sign.sh '$work/prompt/update.exe' '$work/publisher.pfx'" /dev/null >"$work/tty" ||
    fail "signing with the password typed at the prompt failed: $(cat "$work/tty")"
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/prompt/update.exe" >/dev/null 2>&1 ||
    fail "the program signed after the prompt does not verify"
  tmp_is_empty "prompt"
  echo "run-sign: the password typed at the prompt signs"
fi

# Killed in the middle (SIGKILL, which no trap sees) while the signing tool
# holds the password: a stand-in osslsigncode records the password file it
# was given and waits. Nothing beside the program may hold the password; the
# file it was given lies in a folder under TMPDIR that only its owner reads.
mkdir "$work/killed" "$work/fake"
cp "$BUILD/update.exe" "$work/killed/update.exe"
cat >"$work/fake/osslsigncode" <<'FAKE'
#!/bin/bash
while [ $# -gt 0 ]; do
  [ "$1" = -readpass ] && echo "$2" >"$FAKE_DIR/readpass"
  shift
done
touch "$FAKE_DIR/started"
exec sleep 60
FAKE
chmod +x "$work/fake/osslsigncode"
FAKE_DIR=$work/fake PATH="$work/fake:$PATH" SIGN_PFX_PASSWORD='s3cret pass' \
  setsid bash scripts/sign.sh "$work/killed/update.exe" "$work/publisher.pfx" </dev/null 2>/dev/null &
signer=$!
for _ in $(seq 300); do
  [ -e "$work/fake/started" ] && break
  sleep 0.1
done
[ -e "$work/fake/started" ] || fail "the stand-in signing tool never started"
kill -KILL -- -"$signer"
wait "$signer" 2>/dev/null || true
if grep -rlF 's3cret pass' "$work/killed"; then
  fail "after a SIGKILL a file beside the program holds the password"
fi
readpass=$(cat "$work/fake/readpass")
case $readpass in
  "$TMPDIR"/*) ;;
  *) fail "the password file $readpass is not under TMPDIR" ;;
esac
[ "$(stat -c %a "$(dirname "$readpass")")" = 700 ] || fail "the password's folder is readable by others"
rm -rf "${TMPDIR:?}"/*
echo "run-sign: after a SIGKILL no file beside the program holds the password"

# A whole update and the planted-DLL case with the signed program.
source scripts/wine/prefix.sh null
trap 'wine_prefix_cleanup; rm -rf "$work"' EXIT
UPDATE_EXE="Z:${work//\//\\}\\signed\\update.exe" "$WINE" "$BUILD/tests/e2e/e2e_tests.exe" \
  --gtest_color=no --gtest_filter='RunTest.CompleteCopiesSelectedFilesAndNamesTitle:PlantedDllTest.*'
echo "run-sign: the signed update.exe runs a whole update"

# The publisher's order: pack (which binds the medium's update.exe to its
# update.sha256), then sign. The signature must verify, still cover the
# fingerprint, and the signed program must update from its medium; packing
# with a program that is signed already is refused, since binding it would
# break the signature.
PACK=${UPDATE_PACK_NATIVE:-}
if [ -z "$PACK" ]; then
  if [ -x build/gcc/tools/update-pack/update-pack ]; then
    PACK=$ROOT/build/gcc/tools/update-pack/update-pack
  else
    cmake -S . -B build/run-pack -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build/run-pack --target update-pack -j2 >/dev/null
    PACK=$ROOT/build/run-pack/tools/update-pack/update-pack
  fi
fi
DRIVER=$BUILD/tools/update-pack/tests/pack_round_trip.exe
mkdir -p "$work/trees/old/data" "$work/trees/new/data"
printf 'game 1.00' >"$work/trees/old/game.exe"
printf 'game 1.01' >"$work/trees/new/game.exe"
printf 'new data' >"$work/trees/new/data/new.dat"
code=0
"$PACK" "$work/trees/new" "$work/refused-medium" --exe "$work/signed/update.exe" \
  >/dev/null 2>"$work/err" || code=$?
[ "$code" = 2 ] || fail "update-pack took a signed update.exe (exit code $code)"
grep -q "sign" "$work/err" || fail "the refusal of a signed program does not say to sign after packing"
[ ! -e "$work/refused-medium" ] || fail "a medium was written for a signed program"
echo "run-sign: update-pack refuses a signed update.exe: $(cat "$work/err")"
"$PACK" --old "$work/trees/old" "$work/trees/new" "$work/medium" --title 署名済み \
  --reg-t SIGNED_MEDIUM --exe "$BUILD/update.exe" >/dev/null
SIGN_PFX_PASSWORD='s3cret pass' bash scripts/sign.sh "$work/medium/update.exe" "$work/publisher.pfx"
verify=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/medium/update.exe" 2>&1) ||
  fail "the packed and signed program does not verify: $verify"
grep -q "Signature verification: ok" <<<"$verify" || fail "no valid signature: $verify"
python3 - "$work/medium/update.exe" "$work/medium/update.sha256" <<'PY' ||
import hashlib, sys
program, listed = (open(p, "rb").read() for p in sys.argv[1:])
sys.exit(0 if program.count(hashlib.sha256(listed).digest()) == 1 else 1)
PY
  fail "the signed program does not carry the fingerprint of update.sha256"
(cd "$work/medium" && sha256sum --strict --quiet -c update.sha256) ||
  fail "sha256sum does not accept the medium"
cp -r "$work/trees/old" "$WINEPREFIX/drive_c/signed-game"
"$WINE" reg add 'HKCU\Software\CORVID LAMP\SIGNED_MEDIUM' /v GAMEPATH /d 'C:\signed-game' /f \
  >/dev/null
"$WINE" "$DRIVER" "Z:${work//\//\\}\\medium\\update.exe" "Z:${work//\//\\}\\medium" 署名済み ||
  fail "the packed, stamped and signed update.exe did not complete the update"
diff -r "$work/trees/new" "$WINEPREFIX/drive_c/signed-game" ||
  fail "the game folder is not the new version after the signed update"
echo "run-sign: packed, then signed: the signature verifies and the update completes"
