#!/bin/bash
# update.exe on media that know the versions they update, end to end: media
# packed by the native update-pack from one or two old game trees, run under
# Wine against game folders that hold each released version, a half-updated
# one, an updated one and changed ones; each run is driven to the box that
# ends it, and the game folder is compared with what that box promises,
# down to the inode and modification time of every file that was to stay.
#   bash scripts/wine/run-versions.sh WINDOWS_BUILD_DIR
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(cd "${1:?usage: run-versions.sh WINDOWS_BUILD_DIR}" && pwd)
export LANG=C.UTF-8 LC_ALL=C.UTF-8

DRIVER=$BUILD/tests/e2e/run_to_box.exe
# UPDATE_EXE may name another update.exe to pack with (an older build, say).
UPDATE=${UPDATE_EXE:-$BUILD/update.exe}
if [ ! -f "$DRIVER" ] || [ ! -f "$UPDATE" ]; then
  cmake --build "$BUILD" --target run_to_box update -j2
fi

# shellcheck source=native-tools.sh
source scripts/wine/native-tools.sh
PACK=$NATIVE_PACK

# shellcheck source=scripts/wine/prefix.sh
source scripts/wine/prefix.sh null
trap wine_prefix_cleanup EXIT
WORK=$WINE_TEST_ROOT/versions
mkdir -p "$WORK"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

put() {
  mkdir -p "$(dirname "$1")"
  printf '%s' "$2" >"$1"
}

# Four releases. 1.01 changed a.dat (at the same size); 1.02 changed
# game.exe and b.dat and added new.dat; 1.03 changed game.exe and b.dat
# again. readme.txt never changed.
tree() {
  local dir=$WORK/$1 exe=$2 a=$3 b=$4 new=${5:-}
  put "$dir/game.exe" "$exe"
  put "$dir/data/a.dat" "$a"
  put "$dir/data/b.dat" "$b"
  put "$dir/readme.txt" "read me"
  if [ -n "$new" ]; then put "$dir/new.dat" "$new"; fi
}
tree 1.00 "game 1.00" "a of 1.00" "b of 1.00"
tree 1.01 "game 1.01" "a of 1.01" "b of 1.00"
tree 1.02 "game 1.02" "a of 1.01" "b of 1.02" "new in 1.02"
tree 1.03 "game 1.03" "a of 1.01" "b of 1.03" "new in 1.02"

TITLE=版ゲーム
REG_T=VERSIONS
OPTIONS=(--title "$TITLE" --reg-t "$REG_T")

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# pack NAME OLD... : a medium from the old trees to 1.02.
pack() {
  local name=$1 code=0 args=()
  shift
  for old in "$@"; do args+=(--old "$WORK/$old"); done
  "$PACK" "${args[@]}" "$WORK/1.02" "$WORK/$name" "${OPTIONS[@]}" --exe "$UPDATE" \
    >"$WORK/$name.out" 2>&1 || code=$?
  [ "$code" = 0 ] || fail "update-pack $name: exit code $code: $(cat "$WORK/$name.out")"
}
pack from-1.01 1.01
pack from-both 1.00 1.01
pack plain
for medium in from-1.01 from-both; do
  [ -f "$WORK/$medium/update.versions" ] || fail "$medium: no update.versions"
done
[ ! -e "$WORK/plain/update.versions" ] || fail "a medium packed without --old has a record"
(cd "$WORK/from-both" && sha256sum -c --quiet update.sha256) || fail "sha256sum -c on from-both"

GAME=$WINEPREFIX/drive_c/game
"$WINE" reg add "HKCU\\Software\\CORVID LAMP\\$REG_T" /v GAMEPATH /d 'C:\game' /f >/dev/null

# Every file below a folder: its path, SHA-256, inode and modification time.
snapshot() {
  python3 - "$1" <<'PY'
import hashlib, os, sys
root = sys.argv[1]
for folder, _, files in sorted(os.walk(root)):
    for name in sorted(files):
        path = os.path.join(folder, name)
        st = os.stat(path)
        digest = hashlib.sha256(open(path, "rb").read()).hexdigest()
        print(os.path.relpath(path, root), digest, st.st_ino, st.st_mtime_ns)
PY
}
# The same without inode and time: what the files hold.
contents() { snapshot "$1" | cut -d' ' -f1,2; }

# game TREE: the game folder holds that tree, and a save file beside it.
game() {
  rm -rf "$GAME"
  cp -r "$WORK/$1" "$GAME"
  put "$GAME/save/save01.dat" "a player's save"
}

COMPLETE_CAPTION="${TITLE}のＵＰＤＡＴＥ"
COMPLETE="ＵＰＤＡＴＥが完了しました。"
ALREADY="このＵＰＤＡＴＥはすでに適用されています。"
FAILED_CAPTION="ＵＰＤＡＴＥの失敗"
REFUSED="インストールされているゲームは、このＵＰＤＡＴＥで更新できるバージョンではありません。"
DAMAGED="ＵＰＤＡＴＥデータが壊れているか、書き換えられています。"

# run NAME MEDIUM CAPTION TEXT [--at-start]: one update, driven to the box
# (with --at-start, a box before the UPDATE dialog).
run() {
  local name=$1 medium=$2 caption=$3 text=$4 code=0 at_start=()
  [ -z "${5:-}" ] || at_start=("$5")
  echo "=== $name"
  "$WINE" "$DRIVER" "${at_start[@]}" "$(windows_path "$WORK/$medium/update.exe")" \
    "$(windows_path "$WORK/$medium")" "$caption" "$text" >"$WORK/run.out" 2>&1 || code=$?
  sed 's/^/  /' "$WORK/run.out"
  [ "$code" = 0 ] || fail "$name: the run did not end with the box expected"
}

# The game folder holds tree's files and the save, untouched.
expect_game() {
  local name=$1 tree=$2
  local expected
  expected=$( (contents "$WORK/$tree"; echo "save/save01.dat $(printf '%s' "a player's save" |
    sha256sum | cut -d' ' -f1)") | sort)
  [ "$(contents "$GAME" | sort)" = "$expected" ] || {
    fail "$name: the game folder is not $tree:"
    diff <(echo "$expected") <(contents "$GAME" | sort) | sed 's/^/  /' || true
  }
}

# Nothing of the game folder changed: bytes, inodes, times.
expect_unchanged() {
  local name=$1 before=$2
  [ "$(snapshot "$GAME")" = "$before" ] || {
    fail "$name: the game folder changed:"
    diff <(echo "$before") <(snapshot "$GAME") | sed 's/^/  /' || true
  }
}

game 1.01
before=$(snapshot "$GAME")
run "the version the medium was made for" from-1.01 "$COMPLETE_CAPTION" "$COMPLETE"
expect_game "1.01 updated" 1.02
grep "^save/save01.dat " <<<"$before" | cmp -s - <(snapshot "$GAME" | grep "^save/save01.dat ") ||
  fail "the save file was touched"
grep "^readme.txt " <<<"$before" | cmp -s - <(snapshot "$GAME" | grep "^readme.txt ") ||
  fail "readme.txt, which the medium does not carry, was touched"

# 1.00's a.dat differs from 1.01's at the same size, which only its bytes
# tell: its game.exe alone gives it away. Folders come first in the list.
for old in 1.00 1.03; do
  unknown='\ngame.exe'
  [ $old = 1.00 ] || unknown='\ndata\b.dat\ngame.exe'
  game $old
  before=$(snapshot "$GAME")
  run "an older or newer game: $old" from-1.01 "$FAILED_CAPTION" "$REFUSED$unknown"
  expect_unchanged "$old" "$before"
done

game 1.01
put "$GAME/game.exe" "game 1.0X"
before=$(snapshot "$GAME")
run "a carried file of the right size and other bytes" from-1.01 "$FAILED_CAPTION" \
  "$REFUSED\\ngame.exe"
expect_unchanged "a changed game.exe" "$before"

for old in 1.00 1.01; do
  game $old
  run "one medium from two versions, on $old" from-both "$COMPLETE_CAPTION" "$COMPLETE"
  expect_game "$old by the medium from both" 1.02
done

game 1.01
rm "$GAME/readme.txt"
run "a file never installed" from-1.01 "$COMPLETE_CAPTION" "$COMPLETE"
rm -rf "$WORK/1.02-no-readme" && cp -r "$WORK/1.02" "$WORK/1.02-no-readme"
rm "$WORK/1.02-no-readme/readme.txt"
expect_game "the game without readme.txt" 1.02-no-readme

for medium in from-1.01 from-both plain; do
  game 1.02
  before=$(snapshot "$GAME")
  run "an updated game, medium $medium" $medium "$COMPLETE_CAPTION" "$ALREADY"
  expect_unchanged "the updated game, medium $medium" "$before"
done

# Half-updated: game.exe already 1.02's, the rest 1.01's.
game 1.01
cp -p "$WORK/1.02/game.exe" "$GAME/game.exe"
touch -d '2001-02-03 04:05:06' "$GAME/game.exe"
before=$(snapshot "$GAME")
run "a half-updated game" from-1.01 "$COMPLETE_CAPTION" "$COMPLETE"
expect_game "the half-updated game" 1.02
grep "^game.exe " <<<"$before" | cmp -s - <(snapshot "$GAME" | grep "^game.exe ") ||
  fail "the half-updated game's new game.exe was written again"

# A record changed after packing: refused at start, before the game is
# looked at.
rm -rf "$WORK/altered" && cp -r "$WORK/from-1.01" "$WORK/altered"
sed -i 's/ 9 game.exe$/ 8 game.exe/' "$WORK/altered/update.versions"
cmp -s "$WORK/altered/update.versions" "$WORK/from-1.01/update.versions" &&
  fail "the record was not altered"
game 1.01
before=$(snapshot "$GAME")
run "an altered version record" altered "$FAILED_CAPTION" "$DAMAGED" --at-start
expect_unchanged "the altered record" "$before"

if [ "$failures" -ne 0 ]; then
  echo "run-versions: $failures failure(s)"
  exit 1
fi
echo "run-versions: every version is updated, refused or found up to date as its files say"
