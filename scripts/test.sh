#!/bin/bash
# Runs every test: installs what is missing, builds natively with the
# sanitizers under g++ and clang++, runs the unit tests and the fuzzers,
# cross-builds the Windows program and runs the Windows suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
JOBS=${JOBS:-$(nproc)}

bash scripts/setup.sh

step() { echo; echo "=== $*"; }

step "set-up on a broken and a sound mirror (stand-ins for apt and dpkg)"
bash tests/scripts/setup_fallback_test.sh

step "the benchmark report on made-up results"
bash tests/scripts/bench_report_test.sh

step "the links of README.md and docs/"
python3 tests/scripts/docs_links_test.py

step "layout and generated texts"
git ls-files '*.cpp' '*.h' | grep -v '^src/text/texts.h$' | xargs clang-format --dry-run --Werror
generated=$(mktemp)
python3 tools/gen_texts.py "$generated"
if ! cmp -s "$generated" src/text/texts.h; then
  echo "src/text/texts.h is not what tools/gen_texts.py writes: run the generator" >&2
  exit 1
fi
rm -f "$generated"
echo "layout and texts up to date"

step "native build (g++, AddressSanitizer + UBSan)"
cmake -S . -B build/gcc -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON \
  -DCMAKE_CXX_COMPILER=g++ >/dev/null
cmake --build build/gcc -j"$JOBS"
(cd build/gcc && ctest --output-on-failure -j"$JOBS")

step "the command examples of README.md and docs/ (the native tools just built)"
python3 tests/scripts/docs_examples_test.py

step "native build (clang++, AddressSanitizer + UBSan, fuzz targets)"
cmake -S . -B build/clang -DCMAKE_BUILD_TYPE=Debug -DUPDATER_SANITIZE=ON -DUPDATER_FUZZ=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/clang -j"$JOBS"
(cd build/clang && ctest --output-on-failure -j"$JOBS")

step "fuzzing"
bash scripts/fuzz.sh build/clang

step "Windows build (MinGW-w64): the shipped x86 programs"
# shellcheck source=wine/windows-build.sh
source scripts/wine/windows-build.sh
windows_build build/win build/win64

step "static checks of the shipped x86 update.exe"
bash scripts/check-shipped.sh build/win

step "Windows suites: $WINDOWS_BUILD_LABEL"
bash scripts/test-windows.sh "$WINDOWS_BUILD"
echo "Windows suites: $WINDOWS_BUILD_LABEL"

# Once, on small files: the benchmark must keep working; its times are not judged.
step "benchmark smoke run"
WIN_BUILD=build/win WIN_BUILD_X64=build/win64 bash scripts/bench.sh --smoke

echo
echo "all test stages passed (Windows suites: $WINDOWS_BUILD_LABEL)"
