#!/usr/bin/env bash
# Installs the Debian packages Tarquel needs to build, run and test, skipping
# what is present. As root it runs apt-get itself; otherwise it prints the
# one command to run and fails.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libswscale-dev
  ffmpeg libturbojpeg0-dev libsystemd-dev
  libgtest-dev libgmock-dev
  fonts-liberation
  xvfb xauth xdotool
  dbus-daemon
  dpkg-dev lintian desktop-file-utils appstream
  clang libclang-rt-dev ninja-build ccache
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
  echo "Tarquel needs these Debian packages: ${missing[*]}" >&2
  echo "Install them as root with:" >&2
  echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
