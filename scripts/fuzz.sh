#!/usr/bin/env bash
# Builds every libFuzzer target with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/, then runs each fuzz_<x> for a number of seconds (default 60; 0 for no time
# limit) on a working copy of its seeds: tests/fuzz/corpus/<x>/ (committed) and
# build-fuzz/tests/fuzz/seeds/<x>/ (made from the build's test PKI), with
# tests/fuzz/<x>.dict and the options of tests/fuzz/<x>.options when present.
# NAIB_FUZZ_RUNS=<n> also ends each run after n executions.
# Every target gets its turn; a table of executions, rates and findings ends the output, and
# the exit status is 1 when any target found a fault. A finding's reproducer is left in
# build-fuzz/findings/<target>/, the fuzzer's own output in build-fuzz/logs/<target>.log.
#   bash scripts/fuzz.sh [seconds] [target-name-pattern]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
pattern=${2:-}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DNAIB_FUZZ=ON -DNAIB_SANITIZE=ON \
  -DNAIB_WITH_GTK=OFF -DNAIB_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers -j2

# The value of one "stat::<name>:" line of a fuzzer's final statistics, or "?".
stat() {
  local value
  value=$(sed -n "s/^stat::$1: *//p" "$2" | tail -n 1)
  echo "${value:-?}"
}

rows=()
found=0
faulty=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  name=$(basename "$target")
  short=${name#fuzz_}
  [[ -z "$pattern" || "$name" == *$pattern* ]] || continue
  found=$((found + 1))
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  log="$build/logs/$name.log"
  mkdir -p "$work" "$findings" "$(dirname "$log")"
  seeds=()
  for dir in "tests/fuzz/corpus/$short" "$build/tests/fuzz/seeds/$short"; do
    [ -d "$dir" ] && seeds+=("$dir")
  done
  options=(-max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/")
  [ -f "tests/fuzz/$short.dict" ] && options+=(-dict="tests/fuzz/$short.dict")
  [ -f "tests/fuzz/$short.options" ] && read -r -a extra <"tests/fuzz/$short.options" &&
    options+=("${extra[@]}")
  [ -n "${NAIB_FUZZ_RUNS:-}" ] && options+=(-runs="$NAIB_FUZZ_RUNS")
  before=$(find "$findings" -type f | wc -l)
  echo "== $name (${seconds}s${NAIB_FUZZ_RUNS:+, at most $NAIB_FUZZ_RUNS runs})"
  # New inputs go to the working corpus; the seed folders are only read.
  status=0
  "$target" "${options[@]}" "$work" "${seeds[@]}" >"$log" 2>&1 || status=$?
  new=$(($(find "$findings" -type f | wc -l) - before))
  ((status != 0 || new > 0)) && faulty=$((faulty + 1))
  rows+=("$(printf '%-22s %14s %10s %8s %9s %8s' "$name" "$(stat number_of_executed_units "$log")" \
    "$(stat average_exec_per_sec "$log")" "$(stat peak_rss_mb "$log")" "$new" "$status")")
  tail -n 3 "$log"
done
if ((found == 0)); then
  echo "no fuzz target matched" >&2
  exit 1
fi
echo
printf '%-22s %14s %10s %8s %9s %8s\n' target executions exec/s rss_mb findings status
printf '%s\n' "${rows[@]}"
((faulty == 0))
