#!/bin/bash
# Signing: scripts/sign.sh with a throwaway self-signed certificate. A
# medium written by hand is bound (update-pack --bind), then its update.exe
# signed: it must verify against that certificate and run a whole update
# under Wine, and refuse a file of that medium that was altered. A program
# bound to no medium, one without the fingerprint slot, a wrong password, an
# unreadable certificate, a file that is no program and a password on the
# command line are refused and leave the file as it was; the password
# reaches no file beside the program, not even when sign.sh is killed in the
# middle. The build signed as it is, with osslsigncode itself, must refuse
# every medium and be an error for update-check.
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

# The native tools, for binding and checking.
# shellcheck source=native-tools.sh
source scripts/wine/native-tools.sh
PACK=$NATIVE_PACK
CHECK=$NATIVE_CHECK

# A medium written by hand: update.ini in code page 932 with CR LF, and its
# files under GAME.
mkdir -p "$work/handmade/GAME/data"
printf '%s\r\n' '#TITLE "手作り"' '#REG_T HANDMADE_MEDIUM' '#INSTALL_LST' '[SYSTEM]' '##' \
  '#FILE' '[SYSTEM]' 'game.exe' 'data\new.dat' '##' | iconv -f UTF-8 -t CP932 \
  >"$work/handmade/update.ini"
printf 'game 1.01' >"$work/handmade/GAME/game.exe"
printf 'new data' >"$work/handmade/GAME/data/new.dat"

# sign.sh keeps its private files under TMPDIR; each case checks that it
# leaves nothing there.
mkdir "$work/tmp"
export TMPDIR=$work/tmp
tmp_is_empty() {
  [ -z "$(ls -A "$TMPDIR")" ] || fail "$1: sign.sh left files in TMPDIR: $(ls -A "$TMPDIR")"
}
# Bound first, then signed: the publisher's order for a medium written by
# hand. The bound program, unsigned, is kept for the cases below.
"$PACK" --bind "$work/handmade" --exe "$BUILD/update.exe" >"$work/bind.out" ||
  fail "update-pack --bind refused the hand-made medium: $(cat "$work/bind.out")"
cp "$work/handmade/update.exe" "$work/bound.exe"
SIGN_PFX_PASSWORD='s3cret pass' bash scripts/sign.sh "$work/handmade/update.exe" "$work/publisher.pfx"
tmp_is_empty "signing"
[ "$(ls -A "$work/handmade" | tr '\n' ' ')" = "GAME update.exe update.ini update.sha256 " ] ||
  fail "binding or signing left files beside the program: $(ls -A "$work/handmade")"
verify=$(osslsigncode verify -CAfile "$work/cert.pem" -in "$work/handmade/update.exe" 2>&1) ||
  fail "the signed program does not verify: $verify"
grep -q "Signature verification: ok" <<<"$verify" || fail "no valid signature: $verify"
grep -qi "digest algorithm: SHA256" <<<"$verify" || fail "not signed with SHA-256: $verify"
code=0
"$CHECK" "$work/handmade" >"$work/check.out" || code=$?
[ "$code" = 0 ] || fail "update-check on the bound, signed medium: exit code $code: $(cat "$work/check.out")"
grep -q "fingerprint matches" "$work/check.out" || fail "not bound to its list: $(cat "$work/check.out")"
echo "run-sign: the hand-made medium, bound then signed, verifies against the publisher's certificate (SHA-256)"

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
cp "$work/bound.exe" "$work/refused/update.exe"
cp "$BUILD/update.exe" "$work/refused/unbound.exe"
cp "$BUILD/tools/update-pack/tests/pack_round_trip.exe" "$work/refused/other.exe"
echo "plain text, no program" >"$work/refused/readme.exe"
refused "bound to no medium" "$work/refused/unbound.exe" "$work/publisher.pfx" 's3cret pass'
grep -q -- "--bind" "$work/err" || fail "the refusal of an unbound program does not say how to bind it"
refused "no fingerprint slot" "$work/refused/other.exe" "$work/publisher.pfx" 's3cret pass'
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
  cp "$work/bound.exe" "$work/prompt/update.exe"
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
cp "$work/bound.exe" "$work/killed/update.exe"
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

# The build signed as it is, bound to no medium, with osslsigncode itself
# (sign.sh refuses it): an error for update-check, and under Wine it must
# refuse a hand-made and a packed medium before it reads or writes anything.
mkdir "$work/unbound-signed"
cp -r "$work/handmade/." "$work/unbound-signed/"
rm "$work/unbound-signed/update.exe" "$work/unbound-signed/update.sha256"
osslsigncode sign -pkcs12 "$work/publisher.pfx" -pass 's3cret pass' -h sha256 \
  -in "$BUILD/update.exe" -out "$work/unbound-signed/update.exe" >/dev/null
code=0
"$CHECK" --json "$work/unbound-signed" >"$work/check.json" || code=$?
[ "$code" = 1 ] || fail "update-check on a signed, unbound update.exe: exit code $code"
grep -q '"code": "exe-signed-unbound"' "$work/check.json" ||
  fail "update-check does not name the signed, unbound program: $(cat "$work/check.json")"
echo "run-sign: update-check reports the signed, unbound update.exe (exe-signed-unbound)"

source scripts/wine/prefix.sh null
trap 'wine_prefix_cleanup; rm -rf "$work"' EXIT
UPDATE_EXE="Z:${work//\//\\}\\unbound-signed\\update.exe" "$WINE" "$BUILD/tests/e2e/e2e_tests.exe" \
  --gtest_color=no --gtest_filter='Media/MediumProofTest.*/*Signed*'
echo "run-sign: signed and bound to no medium, update.exe refuses every medium"

# The bound and signed program on its hand-made medium, started from it with
# DLLs named like system ones planted beside it: a whole update with the
# folder browser, then an update whose file was altered after signing. None
# of the DLLs may run.
DRIVER=$BUILD/tools/update-pack/tests/pack_round_trip.exe
MEDIUM="Z:${work//\//\\}\\handmade"
for dll in $(grep -o 'L"[a-z0-9_.]*"' src/win/system_dlls.cpp | tr -d 'L"'); do
  cp "$BUILD/tests/e2e/planted_dll.dll" "$work/handmade/$dll.dll"
done
mkdir -p "$WINEPREFIX/drive_c/handmade-game"
printf 'game 1.00' >"$WINEPREFIX/drive_c/handmade-game/game.exe"
"$WINE" reg add 'HKCU\Software\CORVID LAMP\HANDMADE_MEDIUM' /v GAMEPATH /d 'C:\handmade-game' /f \
  >/dev/null
"$WINE" "$DRIVER" --browse "$MEDIUM\\update.exe" "$MEDIUM" 手作り ||
  fail "the bound and signed update.exe did not complete the update of its hand-made medium"
[ "$(cat "$WINEPREFIX/drive_c/handmade-game/game.exe" "$WINEPREFIX/drive_c/handmade-game/data/new.dat")" = \
  "game 1.01new data" ] || fail "the game folder is not the new version after the signed update"
ran=$(find "$work/handmade" -name '*.ran')
[ -z "$ran" ] || fail "DLLs planted beside the signed update.exe ran: $ran"
echo "run-sign: bound, then signed: the hand-made medium updates the game, no planted DLL runs"
rm -r "$WINEPREFIX/drive_c/handmade-game/data"
printf 'game 1.00' >"$WINEPREFIX/drive_c/handmade-game/game.exe"
printf 'altered data' >"$work/handmade/GAME/data/new.dat"
"$WINE" "$DRIVER" "$MEDIUM\\update.exe" "$MEDIUM" 手作り 'GAME\data\new.dat' ||
  fail "the bound and signed update.exe did not refuse the altered file as damaged"
[ "$(cat "$WINEPREFIX/drive_c/handmade-game/game.exe")" = "game 1.01" ] ||
  fail "the file that was not altered was not copied"
[ ! -e "$WINEPREFIX/drive_c/handmade-game/data/new.dat" ] || fail "the altered file was installed"
echo "run-sign: a file altered after binding and signing is refused during the copy"

# The publisher's order: pack (which binds the medium's update.exe to its
# update.sha256), then sign. The signature must verify, still cover the
# fingerprint, and the signed program must update from its medium; packing
# with a program that is signed already is refused, since binding it would
# break the signature.
mkdir -p "$work/trees/old/data" "$work/trees/new/data"
printf 'game 1.00' >"$work/trees/old/game.exe"
printf 'game 1.01' >"$work/trees/new/game.exe"
printf 'new data' >"$work/trees/new/data/new.dat"
code=0
"$PACK" "$work/trees/new" "$work/refused-medium" --exe "$work/handmade/update.exe" \
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
