#!/usr/bin/env bash
# Sets up, builds and runs every test. Pass "asan" or "tsan" to run them
# under the sanitizers instead.
set -euo pipefail
cd "$(dirname "$0")"
preset=${1:-default}
tools/setup.sh
tools/configure.sh "$preset"
cmake --build --preset "$preset" -j"$(nproc)"
ctest --preset "$preset" -j"$(nproc)"
