#!/bin/bash
# Runs update-check.exe under Wine on test media and fails unless it reports
# exactly what the native build reports: the same JSON, the same human
# report (but for the medium's own path) and the same exit code.
#   bash scripts/wine/run-check.sh WINDOWS_BUILD_DIR
# UPDATE_CHECK_NATIVE may name the native binary; otherwise build/gcc's is
# brought up to date (and build/gcc configured when it does not exist).
set -euo pipefail
cd "$(dirname "$0")/../.."
ROOT=$PWD
BUILD=${1:?usage: run-check.sh WINDOWS_BUILD_DIR}
BUILD=$(cd "$BUILD" && pwd)
EXE=$BUILD/tools/update-check/update-check.exe
# Names on the medium are UTF-8 on the Linux side for both programs.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

if [ ! -f "$EXE" ]; then
  cmake --build "$BUILD" --target update-check -j2
fi
NATIVE=${UPDATE_CHECK_NATIVE:-}
if [ -z "$NATIVE" ]; then
  if [ -f build/gcc/CMakeCache.txt ]; then
    cmake -S . -B build/gcc >/dev/null
  else
    cmake -S . -B build/gcc -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON >/dev/null
  fi
  cmake --build build/gcc --target update-check -j2 >/dev/null
  NATIVE=$ROOT/build/gcc/tools/update-check/update-check
fi

# shellcheck source=scripts/wine/prefix.sh
source scripts/wine/prefix.sh
trap wine_prefix_cleanup EXIT
WORK=$WINE_TEST_ROOT/check
mkdir -p "$WORK"

sjis() { iconv -f UTF-8 -t CP932; }

# A medium with a problem of nearly every kind, Japanese names, a trail byte
# 0x5C in a folder name and names in another case than on disk.
make_mixed_medium() {
  local m=$1
  mkdir -p "$m/GAME/ソフト" "$m/GAME/Data/Sub" "$m/GAME/movie.dat" "$m/GAME/odd.."
  echo odd >"$m/GAME/odd../c.dat"
  echo text >"$m/GAME/readme.txt"
  echo exe >"$m/GAME/Game.EXE"
  echo pak >"$m/GAME/Data/BG.pak"
  echo sub >"$m/GAME/Data/Sub/セーブ.dat"
  echo jp >"$m/GAME/ソフト/表示.txt"
  {
    printf '#TITLE "サンプル ｸｴｽﾄ" 版\n#TITLE_OLD サンプル体験版\n#PATH game\n' | sjis
    printf '#REG_S 見本\n#REG_T SAMPLE\n#TITEL typo\n#title lower\n# a comment\n' | sjis
    printf '#INSTALL_LST\n[システム]\n[DATA]\n##\n#INSTALL_C\n[DA\n[NONE]\n' | sjis
    printf '#FILE\ngame.exe\n[システム]\ngame.exe\nソフト\\表示.txt\n[DATA]\n' | sjis
    printf 'data\\bg.pak\nDATA/SUB/セーブ.dat\nmissing.dat\nmovie.dat\n..\\outside.dll\n' | sjis
    printf 'a_name_that_is_far_too_long_for_it.dat\n[UNKNOWN]\nlost.dat\n[]\nreadme.txt\n' | sjis
    printf '##\nfree text\n#EXE a\x80b\n#MD c\x85\x40d\n#LNK e\x81 \n#PATH GAME\n'
    printf '# %0600d\n' 0
    printf '#DEFDIR %0300d\n#FILE\n[DATA]\nreadme.txt.\nData.\\bg.pak\nodd..\\c.dat\n' 0
  } >"$m/update.ini"
}

make_worked_example() {
  local m=$1
  mkdir -p "$m/GAME/data"
  echo exe >"$m/GAME/game.exe"
  echo pak >"$m/GAME/data/bg.pak"
  printf '%s\n' '#TITLE "Sample Quest"' '#TITLE_OLD Sample Quest Trial' '#PATH GAME' \
    '#REG_T SAMPLE' '#INSTALL_LST' '[SYSTEM]' '[DATA]' '##' '#INSTALL_S' '[SYSTEM]' '#FILE' \
    'game.exe' '[SYSTEM]' 'game.exe' '[DATA]' 'data\bg.pak' '[]' 'readme.txt' '##' \
    'free text' >"$m/update.ini"
}

make_utf8_medium() {
  local m=$1
  mkdir -p "$m"
  printf '\xEF\xBB\xBF#TITLE サンプル\n#INSTALL_LST\n[A]\n#FILE\n[A]\nデータ.dat\n' >"$m/update.ini"
}

# Names that Windows folds beyond ASCII, and names that open a device: the
# Windows build must find and refuse what the native build does.
make_names_medium() {
  local m=$1
  mkdir -p "$m/GAME/ω"
  echo a >"$m/GAME/ω/ａ.dat"
  echo d >"$m/GAME/Д.bin"
  echo x >"$m/GAME/aux.txt"
  echo c >"$m/GAME/CONSOLE.txt"
  {
    printf '#INSTALL_LST\n[A]\n##\n#FILE\n[A]\n'
    printf 'Ω\\Ａ.dat\nд.bin\nД.bin\naux.txt\ndata\\CON\ncom1.ini\nCONSOLE.txt\n##\n'
  } | sjis >"$m/update.ini"
}

failures=0
compare() {
  local what=$1 native=$2 windows=$3
  if ! diff -u "$native" "$windows" >"$WORK/diff.txt"; then
    echo "FAIL: $what differs (native, then Windows):"
    cat "$WORK/diff.txt"
    failures=$((failures + 1))
  fi
}

check_medium() {
  local name=$1 expected_code=$2 m=$WORK/$1
  "make_$name" "$m"
  local win_dir
  win_dir="Z:$(echo "$m" | tr / '\\')"
  local native_code=0 windows_code=0
  "$NATIVE" --json "$m" >"$WORK/$name.native.json" || native_code=$?
  "$WINE" "$EXE" --json "$win_dir" >"$WORK/$name.windows.json" 2>"$WORK/$name.windows.err" ||
    windows_code=$?
  compare "$name: JSON" "$WORK/$name.native.json" "$WORK/$name.windows.json"
  if [ "$native_code" != "$windows_code" ]; then
    echo "FAIL: $name: exit code $native_code natively, $windows_code under Wine"
    failures=$((failures + 1))
  fi
  # The human report, but for its first line, which names the medium's path.
  "$NATIVE" "$m" | tail -n +2 >"$WORK/$name.native.txt" || true
  (cd "$m" && "$WINE" "$EXE") | tail -n +2 >"$WORK/$name.windows.txt" || true
  compare "$name: human report" "$WORK/$name.native.txt" "$WORK/$name.windows.txt"
  if [ "$native_code" != "$expected_code" ] || ! grep -q '"problems"' "$WORK/$name.native.json"; then
    echo "FAIL: $name: the native build gave exit code $native_code, not $expected_code"
    failures=$((failures + 1))
  fi
  echo "$name: exit code $native_code, $(grep -c '"code"' "$WORK/$name.native.json") problem(s)"
}

check_medium mixed_medium 1
check_medium worked_example 0
check_medium utf8_medium 1
check_medium names_medium 1

# A medium packed from 1.00 and 1.01, with a Japanese folder: both builds
# must read a player's folder alike (names in another case, CNG against
# OpenSSL) and reach the same verdict.
digest() { printf '%s' "$1" | sha256sum | cut -c1-64; }
make_versions_medium() {
  local m=$1
  mkdir -p "$m/GAME/データ"
  printf 'exe 1.02' >"$m/GAME/game.exe"
  printf 'dat 1.02' >"$m/GAME/データ/表.dat"
  printf '#PATH GAME\n#INSTALL_LST\n[A]\n##\n#FILE\n[A]\ngame.exe\nデータ\\表.dat\n##\n' |
    sjis >"$m/update.ini"
  {
    echo "version 1.00"
    echo "$(digest 'exe 1.00') 8 game.exe"
    echo "$(digest readme) 6 readme.txt"
    echo "$(digest 'dat 1.00') 8 データ/表.dat"
    echo "version 1.01"
    echo "$(digest 'exe 1.01') 8 game.exe"
    echo "$(digest readme) 6 readme.txt"
    echo "$(digest 'dat 1.01') 8 データ/表.dat"
  } >"$m/update.versions"
  (cd "$m" && sha256sum update.ini update.versions GAME/game.exe GAME/データ/表.dat >update.sha256)
}

check_game() {
  local name=$1 expected_code=$2 exe_bytes=$3 m=$WORK/versions_medium g=$WORK/$1
  mkdir -p "$g/データ"
  printf '%s' "$exe_bytes" >"$g/GAME.EXE"
  printf 'dat 1.01' >"$g/データ/表.dat"
  printf 'readme' >"$g/readme.txt"
  local native_code=0 windows_code=0
  "$NATIVE" --json --game "$g" "$m" >"$WORK/$name.native.json" || native_code=$?
  "$WINE" "$EXE" --json --game "Z:$(echo "$g" | tr / '\\')" "Z:$(echo "$m" | tr / '\\')" \
    >"$WORK/$name.windows.json" 2>"$WORK/$name.windows.err" || windows_code=$?
  compare "$name: JSON" "$WORK/$name.native.json" "$WORK/$name.windows.json"
  if [ "$native_code" != "$windows_code" ] || [ "$native_code" != "$expected_code" ]; then
    echo "FAIL: $name: exit code $native_code natively, $windows_code under Wine, not $expected_code"
    failures=$((failures + 1))
  fi
  echo "$name: exit code $native_code, $(grep '"verdict"' "$WORK/$name.native.json")"
}

make_versions_medium "$WORK/versions_medium"
check_game game_between 0 'exe 1.00'
check_game game_older 1 'exe 0.99'

# A medium folder that is not there cannot be checked: exit code 2 on both.
for program in native windows; do
  code=0
  if [ $program = native ]; then
    "$NATIVE" "$WORK/nowhere" >/dev/null 2>&1 || code=$?
  else
    "$WINE" "$EXE" 'Z:\nowhere\at\all' >/dev/null 2>&1 || code=$?
  fi
  if [ "$code" != 2 ]; then
    echo "FAIL: $program: exit code $code for a missing medium folder, not 2"
    failures=$((failures + 1))
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "run-check: $failures difference(s) between the Windows and the native update-check"
  exit 1
fi
echo "run-check: the Windows build reports what the native build reports"
