#!/usr/bin/env bash
# Configures a preset's build tree. A tree that an older checkout configured
# with another generator or compiler cannot be configured again in place, so
# it is started afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=$1
case $preset in
  default | dev) dir=build ;;
  *) dir=build-$preset ;;
esac
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
if cmake --preset "$preset" >/dev/null 2>"$errors"; then
  cat "$errors" >&2
  exit 0
fi
if [[ -f $dir/CMakeCache.txt ]]; then
  echo "Configuring $dir afresh" >&2
  rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  cmake --preset "$preset" >/dev/null
else
  cat "$errors" >&2
  exit 1
fi
