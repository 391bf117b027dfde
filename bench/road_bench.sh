#!/usr/bin/env bash
# The first-install road of the program against the floor (two `curl -o` transfers) and
# the curl + `openssl smime -verify` script, interleaved in one sandbox; prints the
# medians, the program's peak memory and the ratios road/floor and road/script.
#   bench/road_bench.sh [BUILD_DIR] [--runs N] [SIZE_MIB...]   (defaults: build, 5, 1024 64)
#   bench/road_bench.sh BUILD_DIR --profile DIR [SIZE_MIB]      one road under perf and strace
# Needs the program, the vendor tools and the test PKI of BUILD_DIR, bwrap, curl, openssl,
# GNU time; perf and strace for --profile. The files go under ${TMPDIR:-/tmp}: twice the
# size, plus the tree. Measure on a quiet machine: nothing else should run meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
if [ $# -gt 0 ] && [[ $1 != -* && ! $1 =~ ^[0-9]+$ ]]; then build=$1; shift; fi
cmake --build "$build" -j2 --target naib-bootstrapper-testroot naib-bundle-testroot \
  naib-sign-testroot naib-publish-testroot >/dev/null
export NAIB_E2E_ENV="$build/tests/e2e/programs.env"
exec python3 bench/road_bench.py "$@"
