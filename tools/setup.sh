#!/usr/bin/env bash
# Installs every Debian package needed to build, run and test the launcher.
# Only missing packages are installed; a held package lock is waited for.
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang clang-format linux-perf
  qtbase5-dev libqt5webkit5-dev qtbase5-dev-tools
  libcurl4-openssl-dev libminizip-dev minizip zlib1g-dev
  python3-pyftpdlib python3-xlib
  openssl libssl-dev unzip zip curl lftp
  xvfb xauth imagemagick x11-utils xdotool iproute2 util-linux desktop-file-utils
  fonts-nanum
  libclang-rt-14-dev
  g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# apt-get waits for the dpkg lock instead of failing when another install runs.
lockwait=(-o DPkg::Lock::Timeout=600)
$sudo apt-get "${lockwait[@]}" update -qq
$sudo apt-get "${lockwait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
