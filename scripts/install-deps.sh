#!/usr/bin/env bash
# Installs the Debian packages that morva needs:
#
#   scripts/install-deps.sh run    # build and run the program
#   scripts/install-deps.sh test   # also the tests, benchmarks, sanitizers,
#                                  # fuzzers and format check (the default)
#
# Safe to run again: it asks apt only for what is missing.
set -euo pipefail

# A compiler, the build tools, the window's library and its label font,
# the PNG library, and what cpack -G DEB reads the package's dependencies
# with (dpkg-shlibdeps, file).
run_packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev fonts-dejavu-core libpng-dev
  dpkg-dev file
)
test_packages=(
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb xauth xdotool x11-apps imagemagick python3 python3-pil python3-xlib
  clang libclang-rt-dev clang-format bash-completion
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    {
      echo "$0: these Debian packages are missing: ${missing[*]}"
      echo "Installing them needs root, and sudo is not available: run this script as root,"
      echo "or have them installed with"
      echo "  apt-get install ${missing[*]}"
    } >&2
    exit 1
  fi
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
