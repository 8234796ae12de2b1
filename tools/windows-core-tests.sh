#!/usr/bin/env bash
# Cross-builds the Qt-free core and the platform layer, their tests and the
# stand-in encoders for Windows x86_64 with MinGW-w64 into
# build-windows-core/ and runs every test program under Wine, in a Wine
# prefix of the build tree's own. Missing Debian packages are
# installed as root; otherwise the command to install them is printed.
#   tools/windows-core-tests.sh [x86_64|i686]
# i686 builds into build-windows-core-i686/ and runs under the 32-bit Wine
# (wine32, which needs the i386 architecture: dpkg --add-architecture i386).
set -euo pipefail

source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=${1:-x86_64}
case "$arch" in
  x86_64) build_dir="$source_dir/build-windows-core" compiler=g++-mingw-w64-x86-64-posix wines=(wine64 wine) ;;
  i686) build_dir="$source_dir/build-windows-core-i686" compiler=g++-mingw-w64-i686-posix wines=(wine wine32:i386) ;;
  *) echo "usage: $0 [x86_64|i686]" >&2; exit 2 ;;
esac
jobs=${JOBS:-2}

seconds() { date +%s.%N; }
begin=$(seconds)
elapsed() { awk -v a="$1" -v b="$(seconds)" 'BEGIN { printf "%.1f s", b - a }'; }

packages=(cmake ninja-build "$compiler" googletest "${wines[@]}")
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
if ((${#missing[@]} > 0)); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "The Windows build of the core needs these Debian packages: ${missing[*]}" >&2
    echo "Install them as root with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  start=$(seconds)
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
  echo "Installed in $(elapsed "$start")"
fi

# Debian keeps wine64 out of the PATH; wine picks it for 64-bit programs.
if [[ "$arch" == i686 ]]; then
  wine=$(command -v wine || echo /usr/lib/wine/wine)
elif command -v wine64 >/dev/null; then
  wine=$(command -v wine64)
elif [[ -x /usr/lib/wine/wine64 ]]; then
  wine=/usr/lib/wine/wine64
else
  wine=$(command -v wine)
fi

start=$(seconds)
cmake -S "$source_dir" -B "$build_dir" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-w64-$arch.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARQUEL_WERROR=ON \
  -DTARQUEL_GTEST_SOURCE_DIR=/usr/src/googletest >/dev/null
cmake --build "$build_dir" -j"$jobs"
echo "Configured and built in $(elapsed "$start")"

# Wine's own prompts for its .NET and HTML engines are turned off.
export WINEPREFIX="$build_dir/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start=$(seconds)
if [[ ! -d "$WINEPREFIX" ]]; then
  "$wine" wineboot --init >/dev/null 2>&1
  echo "Wine prefix made in $(elapsed "$start")"
  start=$(seconds)
fi

status=0
summary=()
for test in "$build_dir"/tests/core/*.exe "$build_dir"/tests/platform/*.exe; do
  name=$(basename "$test")
  log="$build_dir/${name%.exe}.log"
  if (cd "$build_dir" && timeout 300 "$wine" "$test") >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  counts=$(grep -aE '^\[ +(PASSED|SKIPPED|FAILED) +\] [0-9]+ tests?' "$log" | sed 's/, listed below://' |
    tr -s ' ' | paste -sd ' ' -)
  summary+=("$name: $result ${counts:-no gtest summary (see $log)}")
  # Each skipped or failed test with the line before its result: the
  # reason a test gives for skipping.
  while IFS= read -r line; do
    summary+=("  $line")
  done < <(awk '{ sub(/\r$/, "") }
                /^\[ +(SKIPPED|FAILED) +\] [A-Za-z0-9_\/]+\.[A-Za-z0-9_\/]+ \(/ {
                  sub(/ \([0-9]+ ms\)$/, ""); print $0 " -- " previous } { previous = $0 }' "$log")
done
echo "Tests ran in $(elapsed "$start")"
printf '%s\n' "${summary[@]}"
echo "The Windows build and tests took $(elapsed "$begin") in all"
exit "$status"
