#!/usr/bin/env bash
# Sets up, builds the program folder build/Tarquel/ and starts Tarquel.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
tools/configure.sh default
cmake --build --preset default -j"$(nproc)"
if [[ -x build/Tarquel/Tarquel ]]; then
  exec build/Tarquel/Tarquel "$@"
fi
echo "Built the program folder build/Tarquel/. The main window is not part of this version yet, so there is nothing to start."
