#!/usr/bin/env bash
# Downloads 1 GiB from the local test server through the Downloader and with
# `curl -s -o FILE URL`, in the same run against the same server, and compares wall
# times (target: the Downloader within 1.1x of curl). Peak resident memory is taken for
# 256 MiB and 1 GiB (target: it does not grow with the file size).
#   bench/download_bench.sh [BUILD_DIR]   (default: build; needs the download_bench target)
#   ROUNDS=N   runs per measurement, the best one counts (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
bench="$build/bench/download_bench"
[ -x "$bench" ] || { echo "build the download_bench target first" >&2; exit 2; }
rounds=${ROUNDS:-3}

work=$(mktemp -d)
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/root" "$work/tmp"
# Sparse files: the server's reads come from memory, so the disk writes of the client are
# what is measured, as for a real download.
truncate -s 256M "$work/root/m256.bin"
truncate -s 1G "$work/root/g1.bin"
# Read once so that both clients meet a server that answers from the page cache.
cat "$work/root/m256.bin" "$work/root/g1.bin" > /dev/null

python3 -S tests/support/http_server.py --root "$work/root" --lifetime 1800 > "$work/port" &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")
base="http://127.0.0.1:$port"

best() { sort -n | head -1; }

curl_once() {
  local start end
  start=$(date +%s.%N)
  curl -s -o "$work/tmp/curl.bin" "$1"
  end=$(date +%s.%N)
  rm -f "$work/tmp/curl.bin"
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
}

ours_once() {  # prints "seconds maxrss_kib"
  local out
  out=$(TMPDIR="$work/tmp" "$bench" "$1")
  echo "$out" | sed -E 's/.*seconds=([0-9.]+).*maxrss_kib=([0-9]+).*/\1 \2/'
}

curl_times=() ours_times=() rss_1g=() rss_256=()
for _ in $(seq "$rounds"); do
  curl_times+=("$(curl_once "$base/g1.bin")")
  read -r t r < <(ours_once "$base/g1.bin")
  ours_times+=("$t"); rss_1g+=("$r")
  read -r _t r < <(ours_once "$base/m256.bin")
  rss_256+=("$r")
done

curl_best=$(printf '%s\n' "${curl_times[@]}" | best)
ours_best=$(printf '%s\n' "${ours_times[@]}" | best)
rss1=$(printf '%s\n' "${rss_1g[@]}" | sort -n | tail -1)
rss256=$(printf '%s\n' "${rss_256[@]}" | sort -n | tail -1)
ratio=$(awk -v a="$ours_best" -v b="$curl_best" 'BEGIN { printf "%.3f\n", a / b }')

printf 'curl        1 GiB: %.3f s (best of %d: %s)\n' "$curl_best" "$rounds" "${curl_times[*]}"
printf 'Downloader  1 GiB: %.3f s (best of %d: %s)\n' "$ours_best" "$rounds" "${ours_times[*]}"
printf 'ratio Downloader/curl: %.3f (target <= 1.1)\n' "$ratio"
printf 'peak RSS: 256 MiB run %d KiB, 1 GiB run %d KiB\n' "$rss256" "$rss1"
