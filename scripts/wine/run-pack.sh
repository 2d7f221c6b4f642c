#!/bin/bash
# update-pack end to end: packs a medium from an old and a new game tree with
# the native update-pack and with update-pack.exe under Wine, requires the
# same bytes from both and a clean update-check whose copy plan is the packed
# list, then runs the real update.exe on the medium against a game folder
# that holds the old tree, and requires the game folder to equal the new
# tree plus the files that an update cannot remove. A medium packed from two
# released versions must give the same update.versions and update.sha256
# from both builds and turn the older of them into the new version.
#   bash scripts/wine/run-pack.sh WINDOWS_BUILD_DIR
# UPDATE_PACK_NATIVE and UPDATE_CHECK_NATIVE may name the native programs;
# otherwise build/gcc's are used when they are there, else they are built in
# build/run-pack.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=$(cd "${1:?usage: run-pack.sh WINDOWS_BUILD_DIR}" && pwd)
# Names in the trees are UTF-8 on the Linux side for both programs.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

PACK_EXE=$BUILD/tools/update-pack/update-pack.exe
DRIVER=$BUILD/tools/update-pack/tests/pack_round_trip.exe
UPDATE=$BUILD/update.exe
if [ ! -f "$PACK_EXE" ] || [ ! -f "$DRIVER" ] || [ ! -f "$UPDATE" ]; then
  cmake --build "$BUILD" --target update-pack pack_round_trip update -j2
fi

# shellcheck source=native-tools.sh
source scripts/wine/native-tools.sh
NATIVE=$NATIVE_PACK
CHECK=$NATIVE_CHECK

# shellcheck source=scripts/wine/prefix.sh
source scripts/wine/prefix.sh null
trap wine_prefix_cleanup EXIT
WORK=$WINE_TEST_ROOT/pack
mkdir -p "$WORK"
# Wine reaches the Unix root through drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

put() {
  mkdir -p "$(dirname "$1")"
  printf '%s' "$2" >"$1"
}

# Every kind of entry: changed, unchanged, new one and two folder levels
# deep, Japanese names with folders whose last byte is 0x5C (表, ソ), an
# empty file, and files that only the old tree has.
OLD=$WORK/old
NEW=$WORK/new
put "$OLD/game.exe" "game 1.00"
put "$OLD/readme.txt" "unchanged"
put "$OLD/system/config.dat" "resolution=640x480"
put "$OLD/data/表/背景.dat" "old picture"
put "$OLD/save/removed.dat" "only in the old version"
put "$OLD/gone.txt" "only in the old version"
put "$NEW/game.exe" "game 1.01"
put "$NEW/readme.txt" "unchanged"
put "$NEW/system/config.dat" "resolution=800x600"
put "$NEW/data/表/背景.dat" "new picture, longer than the old one"
put "$NEW/data/ソ/新しい.txt" "a new file in a new folder"
put "$NEW/new1/new2/deep.dat" "two new folder levels"
put "$NEW/ソフト/表示/説明.txt" "two new Japanese folder levels"
put "$NEW/empty.dat" ""
put "$NEW/Ａ.txt" "sorts before 亜 in code page 932"
put "$NEW/亜.txt" "sorts after Ａ in code page 932"

TITLE=試験ゲーム
REG_T=PACK_ROUND_TRIP
OPTIONS=(--title "$TITLE" --title-old "試験ゲーム 体験版" --reg-t "$REG_T")

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

echo "=== packing natively and under Wine"
code=0
"$NATIVE" --json --old "$OLD" "$NEW" "$WORK/medium" "${OPTIONS[@]}" --exe "$UPDATE" \
  >"$WORK/native.json" || code=$?
[ "$code" = 0 ] || fail "native update-pack: exit code $code"
code=0
"$WINE" "$PACK_EXE" --json --old "$(windows_path "$OLD")" "$(windows_path "$NEW")" \
  "$(windows_path "$WORK/medium-win")" "${OPTIONS[@]}" --exe "$(windows_path "$UPDATE")" \
  >"$WORK/windows.json" 2>"$WORK/windows.err" || code=$?
[ "$code" = 0 ] || fail "update-pack.exe: exit code $code: $(cat "$WORK/windows.err")"
if ! cmp "$WORK/medium/update.ini" "$WORK/medium-win/update.ini"; then
  fail "update.ini differs between the native and the Windows update-pack"
fi
diff -r "$WORK/medium" "$WORK/medium-win" >/dev/null || fail "the two media differ"
iconv -f CP932 -t UTF-8 "$WORK/medium/update.ini" | tr -d '\r' | sed 's/^/  /'

echo "=== update-check on the medium"
code=0
"$CHECK" --json "$WORK/medium" >"$WORK/check.json" || code=$?
[ "$code" = 0 ] || fail "update-check: exit code $code"
python3 - "$WORK/native.json" "$WORK/windows.json" "$WORK/check.json" <<'EOF' || fail "reports"
import json, sys
native, windows, check = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:])
ok = True
def expect(what, got, wanted):
    global ok
    if got != wanted:
        print(f"FAIL: {what}: {got!r}, expected {wanted!r}")
        ok = False
packed = [f["name"] for f in native["files"]]
expect("copy plan", [c["name"] for c in check["copy"]], packed)
expect("sources on the medium", all(c["exists"] for c in check["copy"]), True)
expect("update-check problems", check["problems"], [])
expect("summary", native["summary"],
       {"new": 6, "changed": 3, "unchanged": 1, "removed": 2, "files": 9, "versions": 1,
        "medium_bytes": native["summary"]["medium_bytes"]})
for name, report in (("native", native), ("Windows", windows)):
    expect(f"{name} report's versions", [(v["label"], v["files"]) for v in report["versions"]],
           [("old", 6)])
for key in ("files", "summary", "removed", "update_ini", "problems", "check", "written"):
    expect(f"Windows report's {key}", windows[key], native[key])
print("  " + "\n  ".join(f'{f["status"]:8} {f["name"]}' for f in native["files"]))
sys.exit(0 if ok else 1)
EOF

echo "=== a refusal under Wine: nothing written, exit code 1 on both"
for program in native windows; do
  code=0
  if [ $program = native ]; then
    "$NATIVE" "$NEW" "$WORK/refused-$program" --title "Café" >/dev/null || code=$?
  else
    "$WINE" "$PACK_EXE" "$(windows_path "$NEW")" "$(windows_path "$WORK/refused-$program")" \
      --title "Café" >/dev/null 2>&1 || code=$?
  fi
  [ "$code" = 1 ] || fail "$program: exit code $code for a title without code page 932 form"
  [ ! -e "$WORK/refused-$program" ] || fail "$program: a refused medium was written"
done
# Nothing but the media and the trees beside them: no work folder left.
leftover=$(find "$WORK" -maxdepth 1 -name '.*' ! -name . | head -1)
[ -z "$leftover" ] || fail "left behind: $leftover"

echo "=== read-only inputs, as a tree copied from a disc: packed by both"
# Wine shows a file without write permission as FILE_ATTRIBUTE_READONLY, to
# root too, and CopyFileW carries the attribute over to its copy; but only
# for a user other than root does Wine then refuse to open the copy for
# writing, as Windows does. So root runs update-pack.exe as nobody, in a
# prefix of nobody's own.
READ_ONLY=$(mktemp -d "${TMPDIR:-/tmp}/updater-pack-read-only-XXXXXX")
read_only_cleanup() {
  if [ "$(id -u)" = 0 ]; then
    runuser -u nobody -- env WINEPREFIX="$READ_ONLY/prefix" "$WINESERVER" -k 2>/dev/null || true
  fi
  rm -rf "$READ_ONLY"
}
trap 'read_only_cleanup; wine_prefix_cleanup' EXIT
cp -r "$NEW" "$READ_ONLY/new"
# A copy of the program beside the tree: nobody may not reach the build
# folder (a checkout under a private temporary folder, say).
cp "$PACK_EXE" "$READ_ONLY/update-pack.exe"
chmod a-w "$READ_ONLY/new/game.exe" "$READ_ONLY/new/data/表/背景.dat"
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown -R nobody "$READ_ONLY"
  as_user=(runuser -u nobody -- env HOME="$READ_ONLY" WINEPREFIX="$READ_ONLY/prefix")
fi
for program in native windows; do
  code=0
  if [ $program = native ]; then
    "$NATIVE" "$READ_ONLY/new" "$READ_ONLY/medium-$program" >/dev/null 2>"$WORK/read-only.err" ||
      code=$?
  else
    "${as_user[@]}" "$WINE" "$READ_ONLY/update-pack.exe" "$(windows_path "$READ_ONLY/new")" \
      "$(windows_path "$READ_ONLY/medium-$program")" >/dev/null 2>"$WORK/read-only.err" || code=$?
  fi
  [ "$code" = 0 ] || fail "$program: read-only inputs: exit code $code: $(cat "$WORK/read-only.err")"
  for file in game.exe data/表/背景.dat; do
    cmp -s "$READ_ONLY/new/$file" "$READ_ONLY/medium-$program/GAME/$file" ||
      fail "$program: $file, read-only, is not on the medium as it is"
  done
done
read_only_cleanup

echo "=== device names and names one on Windows by case: the same problems from both"
NAMES=$WORK/names
for name in aux.txt data/CON nul.dat com1.ini LPT9.bin Ω.dat ω.dat Ａ.txt ａ.txt Д.bin д.bin \
  CONSOLE.txt; do
  put "$NAMES/$name" "$name"
done
code=0
"$NATIVE" --json "$NAMES" "$WORK/names-native" >"$WORK/names-native.json" || code=$?
[ "$code" = 1 ] || fail "native: exit code $code for device names and case pairs"
code=0
"$WINE" "$PACK_EXE" --json "$(windows_path "$NAMES")" "$(windows_path "$WORK/names-windows")" \
  >"$WORK/names-windows.json" 2>"$WORK/names-windows.err" || code=$?
[ "$code" = 1 ] || fail "update-pack.exe: exit code $code for device names and case pairs"
python3 - "$WORK/names-native.json" "$WORK/names-windows.json" <<'EOF' || fail "name problems"
import json, sys
native, windows = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:])
problems = sorted((p["where"], p["code"]) for p in native["problems"])
wanted = sorted([(n, "device-name") for n in
                 ("aux.txt", "data/CON", "nul.dat", "com1.ini", "LPT9.bin")] +
                [(n, "same-file") for n in ("Ω.dat", "ω.dat", "Ａ.txt", "ａ.txt", "Д.bin", "д.bin")])
ok = problems == wanted and windows["problems"] == native["problems"]
if not ok:
    print(f"FAIL: native {problems!r}\n  wanted {wanted!r}\n  Windows {windows['problems']!r}")
sys.exit(0 if ok else 1)
EOF

echo "=== --force and links under Wine: refused, and what a link leads to stays"
# Wine shows a Unix symbolic link to a folder as a junction (a directory
# with FILE_ATTRIBUTE_REPARSE_POINT) and cannot make one itself.
LINKS=$WORK/links
mkdir -p "$LINKS/elsewhere/medium" "$LINKS/real"
echo mine >"$LINKS/elsewhere/keep.txt"
echo mine >"$LINKS/elsewhere/medium/keep.txt"
ln -s "$LINKS/elsewhere" "$LINKS/medium-link"
ln -s "$NEW" "$LINKS/into-new"
ln -s "$LINKS/elsewhere" "$LINKS/via"
ln -s "$NEW" "$LINKS/new-link"
# linked CASE MEDIUM [NEW]: refused with exit code 2 and the words WORDS.
linked() {
  local name=$1 medium=$2 new=${3:-$NEW} words=$4 code=0
  "$WINE" "$PACK_EXE" --force "$(windows_path "$new")" "$(windows_path "$medium")" \
    >/dev/null 2>"$WORK/link.err" || code=$?
  [ "$code" = 2 ] || fail "$name: exit code $code: $(cat "$WORK/link.err")"
  grep -q "$words" "$WORK/link.err" || fail "$name: '$words' not said: $(cat "$WORK/link.err")"
}
linked "medium a junction to an unrelated folder" "$LINKS/medium-link" "" "through the link"
linked "medium a junction into NEW_DIR" "$LINKS/into-new" "" "through the link"
linked "a junction on the way to the medium" "$LINKS/via/medium" "" "through the link"
# NEW_DIR named through a junction, the medium inside its real folder: the
# names differ, the folders overlap.
linked "medium inside NEW_DIR named through a junction" "$NEW/medium" "$LINKS/new-link" "overlap"
[ "$(cat "$LINKS/elsewhere/keep.txt" "$LINKS/elsewhere/medium/keep.txt")" = "mine
mine" ] || fail "files behind a junction were touched"
[ ! -e "$NEW/medium" ] || fail "a medium was written inside NEW_DIR"
# An old medium that holds a junction: --force removes the junction, never
# what it leads to.
mkdir -p "$LINKS/old-medium/GAME"
echo stale >"$LINKS/old-medium/GAME/stale.dat"
echo stale >"$LINKS/old-medium/GAME/read-only.dat"
chmod a-w "$LINKS/old-medium/GAME/read-only.dat"
ln -s "$LINKS/elsewhere" "$LINKS/old-medium/GAME/junction"
code=0
"$WINE" "$PACK_EXE" --force "$(windows_path "$NEW")" "$(windows_path "$LINKS/old-medium")" \
  >/dev/null 2>"$WORK/link.err" || code=$?
[ "$code" = 0 ] || fail "--force over a medium with a junction: exit code $code: $(cat "$WORK/link.err")"
[ "$(cat "$LINKS/elsewhere/keep.txt")" = mine ] || fail "--force removed files behind a junction"
[ ! -e "$LINKS/old-medium/GAME/stale.dat" ] || fail "--force left the old medium's files"
[ ! -e "$LINKS/old-medium/GAME/read-only.dat" ] || fail "--force left a read-only file"
# Windows removes a junction with RemoveDirectoryW; Wine 8 cannot remove a
# link to a folder at all (ERROR_DIR_NOT_EMPTY, the link stays). What is
# left aside may hold that link and the folders above it, nothing else.
leftover=$(find "$LINKS" -maxdepth 1 -name '.old-medium.old-*' | head -1)
if [ -n "$leftover" ]; then
  others=$(find "$leftover" -mindepth 1 ! -type d ! -type l)
  [ -z "$others" ] || fail "--force left files of the old medium aside: $others"
  [ -L "$leftover/GAME/junction" ] || fail "left aside without the junction: $leftover"
  echo "  (Wine could not remove the junction; it stays in $(basename "$leftover"))"
fi

echo "=== the round trip: update.exe on the medium against the old game folder"
GAME=$WINEPREFIX/drive_c/game
cp -r "$OLD" "$GAME"
"$WINE" reg add "HKCU\\Software\\CORVID LAMP\\$REG_T" /v GAMEPATH /d 'C:\game' /f >/dev/null
code=0
"$WINE" "$DRIVER" "$(windows_path "$WORK/medium/update.exe")" "$(windows_path "$WORK/medium")" \
  "$TITLE" || code=$?
[ "$code" = 0 ] || fail "the update did not run to its completion message"
# The new tree over the old one: the old tree's files that the new one
# lacks stay, since an update cannot remove files.
EXPECTED=$WORK/expected
cp -r "$OLD" "$EXPECTED"
cp -r "$NEW/." "$EXPECTED/"
if ! diff -r "$EXPECTED" "$GAME" >"$WORK/game.diff"; then
  fail "the game folder is not the new tree plus the removed files:"
  cat "$WORK/game.diff"
fi
[ -e "$GAME/new1/new2/deep.dat" ] || fail "the file two new folder levels deep is missing"

echo "=== two released versions on one medium: the same record and list from both builds"
# 1.01 changed data/a.dat and added data/b.dat; 1.02 keeps both as 1.01 has
# them. A medium packed from 1.00 and 1.01 must carry them for 1.00 players.
VERSIONS=$WORK/versions
for version in 1.00 1.01 1.02; do
  put "$VERSIONS/game-$version/game.exe" "game $version"
  put "$VERSIONS/game-$version/data/表/背景.dat" "the same in every version"
done
put "$VERSIONS/game-1.00/data/a.dat" "a as 1.00 has it"
put "$VERSIONS/game-1.01/data/a.dat" "a as 1.01 and 1.02 have it"
put "$VERSIONS/game-1.02/data/a.dat" "a as 1.01 and 1.02 have it"
put "$VERSIONS/game-1.01/data/b.dat" "new in 1.01"
put "$VERSIONS/game-1.02/data/b.dat" "new in 1.01"
put "$VERSIONS/game-1.00/Save/only-1.00.dat" "removed in 1.01"
put "$VERSIONS/game-1.02/Ａ.txt" "new in 1.02"
code=0
"$NATIVE" --json --old "$VERSIONS/game-1.00" --old "$VERSIONS/game-1.01" "$VERSIONS/game-1.02" \
  "$WORK/versions-medium" "${OPTIONS[@]}" --exe "$UPDATE" >"$WORK/versions-native.json" || code=$?
[ "$code" = 0 ] || fail "native update-pack with two --old: exit code $code"
code=0
"$WINE" "$PACK_EXE" --json --old "$(windows_path "$VERSIONS/game-1.00")" \
  --old "$(windows_path "$VERSIONS/game-1.01")" "$(windows_path "$VERSIONS/game-1.02")" \
  "$(windows_path "$WORK/versions-medium-win")" "${OPTIONS[@]}" --exe "$(windows_path "$UPDATE")" \
  >"$WORK/versions-windows.json" 2>"$WORK/versions-windows.err" || code=$?
[ "$code" = 0 ] ||
  fail "update-pack.exe with two --old: exit code $code: $(cat "$WORK/versions-windows.err")"
for file in update.versions update.sha256; do
  cmp -s "$WORK/versions-medium/$file" "$WORK/versions-medium-win/$file" ||
    fail "$file differs between the native and the Windows update-pack"
done
diff -r "$WORK/versions-medium" "$WORK/versions-medium-win" >/dev/null ||
  fail "the two media packed from two versions differ"
(cd "$WORK/versions-medium" && sha256sum --strict -c update.sha256 >/dev/null) ||
  fail "sha256sum -c does not accept the medium packed from two versions"
sed -n 2p "$WORK/versions-medium/update.sha256" | grep -q '^[0-9a-f]\{64\}  update.versions$' ||
  fail "update.versions is not listed right after update.ini"
sed 's/^/  /' "$WORK/versions-medium/update.versions"
python3 - "$VERSIONS" "$WORK/versions-medium" "$WORK/versions-native.json" \
  "$WORK/versions-windows.json" <<'EOF' || fail "two versions"
import hashlib, json, os, sys
versions, medium = sys.argv[1:3]
native, windows = (json.load(open(p, encoding="utf-8")) for p in sys.argv[3:5])
ok = True
def expect(what, got, wanted):
    global ok
    if got != wanted:
        print(f"FAIL: {what}: {got!r}, expected {wanted!r}")
        ok = False
# Written out from the trees themselves: each version's files, paths in
# byte order of their UTF-8 form.
record = ""
for label in ("game-1.00", "game-1.01"):
    record += f"version {label}\n"
    root = os.path.join(versions, label)
    paths = [os.path.relpath(os.path.join(folder, name), root)
             for folder, _, names in os.walk(root) for name in names]
    for path in sorted(paths, key=lambda p: p.encode()):
        data = open(os.path.join(root, path), "rb").read()
        record += f"{hashlib.sha256(data).hexdigest()} {len(data)} {path}\n"
expect("update.versions", open(os.path.join(medium, "update.versions"), encoding="utf-8").read(),
       record)
carried = {f["path"]: (f["status"], f["new_against"], f["changed_against"])
           for f in native["files"]}
expect("carried files", carried, {
    "data/a.dat": ("changed", [], ["game-1.00"]),
    "data/b.dat": ("new", ["game-1.00"], []),
    "game.exe": ("changed", [], ["game-1.00", "game-1.01"]),
    "Ａ.txt": ("new", ["game-1.00", "game-1.01"], [])})
expect("summary", native["summary"],
       {"new": 2, "changed": 2, "unchanged": 1, "removed": 1, "files": 4, "versions": 2,
        "medium_bytes": native["summary"]["medium_bytes"]})
expect("removed", native["removed"], ["Save/only-1.00.dat"])
for key in ("files", "summary", "removed", "update_ini", "problems", "check", "written"):
    expect(f"Windows report's {key}", windows[key], native[key])
expect("Windows report's versions", [(v["label"], v["files"]) for v in windows["versions"]],
       [(v["label"], v["files"]) for v in native["versions"]])
sys.exit(0 if ok else 1)
EOF
# Two --old folders of one name could not be told apart: bad arguments.
mkdir -p "$WORK/versions-again/game-1.00"
code=0
"$WINE" "$PACK_EXE" --old "$(windows_path "$VERSIONS/game-1.00")" \
  --old "$(windows_path "$WORK/versions-again/game-1.00")" "$(windows_path "$VERSIONS/game-1.02")" \
  "$(windows_path "$WORK/versions-refused")" >/dev/null 2>&1 || code=$?
[ "$code" = 2 ] || fail "update-pack.exe with two --old of one name: exit code $code"
[ ! -e "$WORK/versions-refused" ] || fail "update-pack.exe wrote a medium for two --old of one name"
# The medium turns 1.00 into 1.02, the file that changed only in 1.01
# included. (The game folder's name has no dot: the updater takes a last
# name with a dot for a file and the folder above it for the game's.)
V100_GAME=$WINEPREFIX/drive_c/game100
cp -r "$VERSIONS/game-1.00" "$V100_GAME"
"$WINE" reg add "HKCU\\Software\\CORVID LAMP\\$REG_T" /v GAMEPATH /d 'C:\game100' /f >/dev/null
code=0
"$WINE" "$DRIVER" "$(windows_path "$WORK/versions-medium/update.exe")" \
  "$(windows_path "$WORK/versions-medium")" "$TITLE" || code=$?
[ "$code" = 0 ] || fail "the update of 1.00 did not run to its completion message"
cp -r "$VERSIONS/game-1.00" "$WORK/expected-1.00"
cp -r "$VERSIONS/game-1.02/." "$WORK/expected-1.00/"
diff -r "$WORK/expected-1.00" "$V100_GAME" >"$WORK/game-1.00.diff" ||
  fail "1.00 updated is not 1.02 plus the removed file: $(cat "$WORK/game-1.00.diff")"

echo "=== a game of today: thousands of files, long Japanese paths, some near the longest"
# Paths of 40 to 259 bytes in code page 932 (an entry's longest), each name
# within what a Linux file system holds; joined to C:\big-game the longest
# pass MAX_PATH.
BIG=$WORK/big
BIG_COUNT=2000
python3 - "$BIG" "$BIG_COUNT" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
for i in range(count):
    if i % 100 == 7:
        # Near the longest: names of at most 60 characters, 250 to 259 bytes.
        path, target = f"js/plugins/長い名前_{i}/", 250 + i % 10
        while len(path.encode("cp932")) + 2 <= target - 4:
            path += "表" if len(path.rsplit("/", 1)[1]) < 60 else "/"
        while len(path.encode("cp932")) < target - 4:
            path += "x"
        path += ".dat"
    else:
        path = f"data/キャラクター_{i % 17:02}/表情差分_{i % 5}/立ち絵_{i:05}.png"
    os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
    with open(os.path.join(root, path), "w", encoding="utf-8") as f:
        f.write(f"file {i}")
PY
code=0
"$NATIVE" --json "$BIG" "$WORK/big-medium" "${OPTIONS[@]}" --exe "$UPDATE" >"$WORK/big.json" ||
  code=$?
[ "$code" = 0 ] || fail "update-pack on thousands of files: exit code $code"
code=0
"$CHECK" --json "$WORK/big-medium" >"$WORK/big-check.json" || code=$?
[ "$code" = 0 ] || fail "update-check on thousands of files: exit code $code"
python3 - "$WORK/big.json" "$WORK/big-check.json" "$BIG_COUNT" <<'PY' || fail "thousands of files"
import json, sys
pack, check = (json.load(open(p, encoding="utf-8")) for p in sys.argv[1:3])
count = int(sys.argv[3])
longest = max(len(f["name"].encode("cp932")) for f in pack["files"])
ok = (len(pack["files"]) == count and check["problems"] == [] and 250 <= longest <= 259 and
      [c["name"] for c in check["copy"]] == [f["name"] for f in pack["files"]])
if not ok:
    print(f"FAIL: {len(pack['files'])} packed, {len(check['copy'])} to copy, longest {longest}, "
          f"problems {check['problems'][:3]!r}")
sys.exit(0 if ok else 1)
PY
BIG_GAME=$WINEPREFIX/drive_c/big-game
mkdir -p "$BIG_GAME"
"$WINE" reg add "HKCU\\Software\\CORVID LAMP\\$REG_T" /v GAMEPATH /d 'C:\big-game' /f >/dev/null
code=0
# The dialog answers throughout, each file hashed as it is copied.
"$WINE" "$DRIVER" --answers "$(windows_path "$WORK/big-medium/update.exe")" \
  "$(windows_path "$WORK/big-medium")" "$TITLE" || code=$?
[ "$code" = 0 ] || fail "the update of thousands of files did not run to its completion message"
diff -r "$BIG" "$BIG_GAME" >"$WORK/big-game.diff" ||
  fail "the game folder is not the tree of thousands of files: $(head -5 "$WORK/big-game.diff")"

echo "=== --bind on a medium written by hand, natively and under Wine"
# The same list and program from both; under Wine UPDATE_EXE is the
# medium's own update.exe, replaced through a temporary copy.
HAND=$WORK/handmade
mkdir -p "$HAND"
printf '%s\r\n' '#TITLE "手作り"' '#INSTALL_LST' '[SYSTEM]' '##' '#FILE' '[SYSTEM]' 'game.exe' \
  'データ\表.dat' '##' | iconv -f UTF-8 -t CP932 >"$HAND/update.ini"
put "$HAND/GAME/game.exe" "game 1.01"
put "$HAND/GAME/データ/表.dat" "a file in a folder whose name ends in the byte 0x5C"
# A record kept with the medium is listed right after update.ini.
put "$HAND/update.versions" "version 1.00
$(printf 'game 1.00' | sha256sum | cut -c1-64) 9 game.exe
"
cp -r "$HAND" "$WORK/handmade-win"
cp "$UPDATE" "$WORK/handmade-win/update.exe"
code=0
"$NATIVE" --bind "$HAND" --exe "$UPDATE" >/dev/null || code=$?
[ "$code" = 0 ] || fail "native update-pack --bind: exit code $code"
code=0
"$WINE" "$PACK_EXE" --bind "$(windows_path "$WORK/handmade-win")" \
  --exe "$(windows_path "$WORK/handmade-win/update.exe")" >/dev/null 2>"$WORK/bind.err" || code=$?
[ "$code" = 0 ] || fail "update-pack.exe --bind: exit code $code: $(cat "$WORK/bind.err")"
diff -r "$HAND" "$WORK/handmade-win" >/dev/null || fail "the media bound natively and under Wine differ"
sed -n 2p "$WORK/handmade-win/update.sha256" | grep -q '  update.versions$' ||
  fail "update-pack.exe --bind did not list update.versions after update.ini"
grep -q "fingerprint matches" <("$CHECK" "$WORK/handmade-win") ||
  fail "update-check does not find update.exe bound to the list written under Wine"
sed 's/^/  /' "$HAND/update.sha256"
# An entry copied twice would be listed twice: refused, nothing written.
printf '%s\r\n' '#INSTALL_LST' '[SYSTEM]' '##' '#FILE' '[SYSTEM]' 'game.exe' 'game.exe' '##' \
  >"$WORK/handmade-win/update.ini"
before=$(cd "$WORK/handmade-win" && find . -type f -exec sha256sum {} + | sort)
code=0
"$WINE" "$PACK_EXE" --bind "$(windows_path "$WORK/handmade-win")" --exe "$(windows_path "$UPDATE")" \
  >/dev/null 2>&1 || code=$?
[ "$code" = 1 ] || fail "update-pack.exe --bind on an entry listed twice: exit code $code"
[ "$(cd "$WORK/handmade-win" && find . -type f -exec sha256sum {} + | sort)" = "$before" ] ||
  fail "update-pack.exe --bind wrote to a medium it refused"

if [ "$failures" -ne 0 ]; then
  echo "run-pack: $failures failure(s)"
  exit 1
fi
echo "run-pack: both builds pack the same medium, update-check finds it clean, and update.exe" \
  "turns the old game folder into the new one"
