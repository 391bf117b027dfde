#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs the bootstrapper as far as the
# install road goes today.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${NAIB_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
"$build/src/naib-bootstrapper" -version
