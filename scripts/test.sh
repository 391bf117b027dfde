#!/usr/bin/env bash
# Every test: installs what is missing, builds with warnings as errors, runs CTest (unit
# tests, the sandboxed end-to-end scenarios, the GTK windows under Xvfb).
#   NAIB_BUILD_DIR   build folder (default: build)
#   NAIB_CTEST_ARGS  extra ctest arguments, e.g. "-L unit"
# Further arguments go to cmake, e.g. -DNAIB_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${NAIB_BUILD_DIR:-build}
cmake -S . -B "$build" -DNAIB_WERROR=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
# shellcheck disable=SC2086
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" ${NAIB_CTEST_ARGS:-}
