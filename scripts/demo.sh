#!/usr/bin/env bash
# The main job: installs what is missing, builds, and runs a complete first install end to
# end in a bubblewrap sandbox. The vendor tools make the bundle (naib-bundle), the runtime
# installer's signature with a throwaway PKI made for the build (naib-sign) and the
# download tree (naib-publish); a local server serves the tree, and the real program
# (test-root build) downloads, verifies and runs the runtime installer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
build=${NAIB_BUILD_DIR:-build}
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"
NAIB_E2E_ENV="$PWD/$build/tests/e2e/programs.env" python3 -B tests/e2e/demo.py
