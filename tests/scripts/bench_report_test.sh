#!/bin/bash
# bench/report.py on made-up results: ratios of rates against the native
# loop, the peak working set against the figure from before, and the items
# that a medium refused or cut short printed as not measured instead of
# breaking the table. Needs no Wine and no build.
set -uo pipefail
cd "$(dirname "$0")/../.."
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
failures=0

RESULTS=$WORK/results
{
  # Run 0 is the warm-up and must not count: its figures would change
  # every median below.
  for run in 0 1 2 3; do
    value() { if [ "$run" = 0 ]; then echo 99999; else echo "$1"; fi; }
    for item in small16 small64 small256; do
      echo "$item update $run $(value 400)"
      echo "$item native $run $(value 100)"
      echo "$item peak $run $(value 4096)"
    done
    echo "manyfolders update $run $(value 3000)"
    echo "manyfolders native $run $(value 600)"
    echo "versions update $run $(value 2000)"
    echo "versionsbare update $run $(value 1600)"
    echo "versions rerun $run $(value 500)"
    echo "mb update $run $(value 1000)"
    echo "mb native $run $(value 200)"
    for item in large1 large64; do
      for kind in update step stephash copyfile cp; do echo "$item $kind $run $(value 500)"; done
    done
    for key in answerpacked answer; do
      echo "$key answer $run $(value 20)"
      echo "$key slow $run $(value 0)"
      echo "$key samples $run $(value 50)"
      echo "$key positions $run $(value 8)"
    done
    for exe in update minimal manifest; do echo "startup $exe $run $(value 100)"; done
    echo "mem256 peak $run $(value $((22106 * 1024 + 512 * 1024)))"
  done
  # As bench.sh records them: once, in run 1.
  echo "many short 1 256"
  echo "answermany refused-pack 1 0"
  echo "memmany refused-update 1 0"
} >"$RESULTS"
echo '{"benchmarks": [{"run_type": "iteration", "real_time": 5.0}]}' >"$WORK/parse.json"

if ! python3 bench/report.py --results "$RESULTS" --parse-json "$WORK/parse.json" \
  --many 3000 --mb-files 20 --mem-entries 20000 --build "x86 (shipped build)" \
  >"$WORK/report" 2>"$WORK/errors"; then
  echo "bench_report_test: report.py failed:" >&2
  cat "$WORK/errors" >&2
  exit 1
fi

# Each case: the start of an item's row, then a pattern its row must match.
while IFS='|' read -r item pattern; do
  row=$(grep -F -- "$item" "$WORK/report" | head -n 1)
  if ! grep -Eq -- "$pattern" <<<"$row"; then
    echo "bench_report_test: row '$item' does not match '$pattern': ${row:-no such row}" >&2
    failures=$((failures + 1))
  fi
done <<'CASES'
1 update, 256 × 4 KB (ms)|400\.0 \[400\.0 – 400\.0\].*native loop 100\.0.*0\.250 × native
1 update, 20 × 1 MB (ms)|1000\.0.*native loop 200\.0.*0\.200 × native.*≥ 0\.25 × native
1 update, 3000 × 4 KB, one folder (ms)|not measured: the update copied only 256 of 3000 files
1 update, 3000 × 4 KB, folders of 100 (ms)|3000\.0.*native loop 600\.0.*0\.200 × native.*≥ 0\.25 × native
6 worst answer of the copy dialog, packed, 3000 × 4 KB|not measured: update-pack refused the medium
6 worst answer of the copy dialog, packed, 1 × 1024 MB|20\.0 .*≤ 100 ms
7 peak working set, 256 entries, packed (KB)|22618 .*before 22106.*\+512 KB.*≤ before \+ 1024 KB
7 peak working set, 20000 entries|not measured: the update refused the medium
8 first update with a version record, 200 × 1 MB carried|2000\.0.*without it 1600\.0.*1\.250 × without
8 second run on the updated game|500\.0.*first run 2000\.0.*0\.250 × first
2 updater, 1 × 512 MB (MB/s)|1\.000 × cp.*≥ 0\.260 × cp
CASES

[ "$failures" = 0 ] || exit 1
echo "bench_report_test: all rows as expected"
