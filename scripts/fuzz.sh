#!/usr/bin/env bash
# Builds every libFuzzer target with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in build-fuzz/, then runs each fuzz_<x> for a number of seconds (default 60) on a working
# copy of its seed corpus (tests/fuzz/corpus/<x>/), with tests/fuzz/<x>.dict when present.
# Stops at the first target that finds a fault; its reproducer is left in
# build-fuzz/findings/<target>/.
#   bash scripts/fuzz.sh [seconds] [target-name-pattern]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
pattern=${2:-}
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DNAIB_FUZZ=ON -DNAIB_SANITIZE=ON \
  -DNAIB_WITH_GTK=OFF -DNAIB_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers -j2
found=0
for target in "$build"/tests/fuzz/fuzz_*; do
  [ -x "$target" ] && [ -f "$target" ] || continue
  name=$(basename "$target")
  [[ -z "$pattern" || "$name" == *$pattern* ]] || continue
  found=$((found + 1))
  work="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$work" "$findings"
  seeds="tests/fuzz/corpus/${name#fuzz_}"
  [ -d "$seeds" ] || seeds=""
  dict="tests/fuzz/${name#fuzz_}.dict"
  [ -f "$dict" ] || dict=""
  echo "== $name for ${seconds}s"
  # New inputs go to the working corpus; the committed seeds are only read.
  "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$findings/" \
    ${dict:+-dict="$dict"} \
    "$work" ${seeds:+"$seeds"}
done
if ((found == 0)); then
  echo "no fuzz target matched" >&2
  exit 1
fi
