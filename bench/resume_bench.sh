#!/usr/bin/env bash
# What a connection dropped at 90 % of a 256 MiB runtime installer costs, through the
# Downloader with its own retry rules, over a link paced to RATE bytes per second:
#   unbroken   the file in one go
#   resumed    dropped once at 90 %, the retry asks for the rest (Range/If-Range)
#   restarted  dropped once at 90 %, the server ignores Range, so the retry starts at 0
# The three kinds of run are interleaved, ROUNDS times; medians are compared (target:
# resumed under 15 % extra wall time over unbroken; restarted shows what is saved).
#   bench/resume_bench.sh [BUILD_DIR]   (default: build; needs the download_bench target)
#   ROUNDS=N (default 3)   RATE=bytes/s (default 8 MiB/s, a 64 Mbit/s line)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/download_bench"
[ -x "$bench" ] || { echo "build the download_bench target first" >&2; exit 2; }
rounds=${ROUNDS:-3}
rate=${RATE:-8388608}

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/root" "$work/tmp"
truncate -s 256M "$work/root/m256.bin"
cat "$work/root/m256.bin" > /dev/null

# A drop happens once per path, so every round has paths of its own.
python3 - "$rounds" "$rate" > "$work/routes.json" <<'PY'
import json, sys
rounds, rate = int(sys.argv[1]), float(sys.argv[2])
base = {"file": "m256.bin", "rate": rate}
drop = {"fault": "reset", "at": 0.9, "times": 1}
routes = {}
for r in range(rounds):
    routes[f"/unbroken-{r}"] = base
    routes[f"/resumed-{r}"] = {**base, **drop}
    routes[f"/restarted-{r}"] = {**base, **drop, "ranges": False}
print(json.dumps(routes))
PY

lifetime=$((rounds * 200 + 60))
python3 -S tests/support/http_server.py --root "$work/root" --routes "$work/routes.json" \
  --log "$work/requests.log" --lifetime "$lifetime" > "$work/port" &
server_pid=$!
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
base="http://127.0.0.1:$port"

once() {  # prints the seconds of one successful run
  local out
  out=$(TMPDIR="$work/tmp" "$bench" "$1") || { echo "run of $1 failed: $out" >&2; exit 1; }
  [[ "$out" == *"bytes=268435456 "* ]] || { echo "wrong size from $1: $out" >&2; exit 1; }
  echo "$out" | sed -E 's/.*seconds=([0-9.]+).*/\1/'
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

declare -A times
for r in $(seq 0 $((rounds - 1))); do
  for kind in unbroken resumed restarted; do
    times[$kind]+="$(once "$base/$kind-$r") "
  done
done

# Each dropped path was asked for twice; only the resumed ones with a range.
ranged=$(grep -c 'resumed-.* range=bytes=' "$work/requests.log" || true)
[ "$ranged" -eq "$rounds" ] || { echo "expected $rounds ranged requests, saw $ranged" >&2; exit 1; }

unbroken=$(printf '%s\n' ${times[unbroken]} | median)
printf 'rate %.1f MiB/s, %d rounds, medians:\n' "$(awk -v r="$rate" 'BEGIN { print r / 1048576 }')" "$rounds"
for kind in unbroken resumed restarted; do
  m=$(printf '%s\n' ${times[$kind]} | median)
  extra=$(awk -v a="$m" -v b="$unbroken" 'BEGIN { printf "%.1f", (a - b) / b * 100 }')
  printf '  %-9s %7.3f s  (+%s %%)   runs: %s\n' "$kind" "$m" "$extra" "${times[$kind]}"
done
echo "target: resumed under +15 %; restarted about +90 %"
