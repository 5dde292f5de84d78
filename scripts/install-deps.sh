#!/usr/bin/env bash
# Installs the Debian packages that morva needs to build, run and test.
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-apps imagemagick python3 python3-pil python3-xlib
  clang libclang-rt-dev clang-format
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
