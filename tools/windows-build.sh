#!/usr/bin/env bash
# Builds Tarquel for Windows: the dependency kit (tools/windows-sdk.sh, from
# Debian's source packages, reused from its cache), the build steps that
# draw pictures natively (build-host-tools/), then the program cross-built
# into build-windows-<x64|x86>/Tarquel/ with its DLLs, a zip of it and its
# installer.
#   tools/windows-build.sh [x86_64|i686]
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${1:-x86_64}
case "$arch" in
  x86_64) preset=windows-x64 ;;
  i686) preset=windows-x86 ;;
  *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
jobs=${JOBS:-2}
cd "$source_dir"

step() { echo "== $*"; }
start=$SECONDS

step "The dependency kit for $arch"
# The configure finds the kit the script built for this architecture.
tools/windows-sdk.sh "$arch" >/dev/null

step "The build steps that draw, built natively"
tools/setup.sh
# The installer is made by Debian's NSIS; without it the zip alone is made.
if ! command -v makensis >/dev/null; then
  if [[ $(id -u) -eq 0 ]]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends nsis >/dev/null
  else
    echo "No installer without Debian's nsis; as root: apt-get install nsis" >&2
  fi
fi
host=build-host-tools
cmake -S . -B "$host" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARQUEL_BUILD_TESTS=OFF \
  -DTARQUEL_BUILD_BENCH=OFF >/dev/null
cmake --build "$host" -j"$jobs" --target tarquel_make_resources tarquel_make_icons

step "Tarquel for Windows ($preset)"
cmake --preset "$preset" -DTARQUEL_HOST_TOOLS="$source_dir/$host/Code/companions" >/dev/null
cmake --build --preset "$preset" -j"$jobs"
cmake --build --preset "$preset" --target windows_package
echo "Built in $((SECONDS - start)) s: build-$preset/Tarquel/"
ls -l "build-${preset}"/Tarquel-*.zip "build-${preset}"/Tarquel-*-setup.exe 2>/dev/null || true
