#!/bin/sh
# The Debian packages that build every part of velmora and run every test, in one list:
# installed with apt-get when run as root, else the one apt-get line to run is printed and
# the status is 1. Nothing is done when all are installed. --ci adds what the CI script
# needs beyond the tests (sanitizer and fuzz builds, cross builds, lintian, clang-format).
#
#   tools/install-test-packages.sh [--ci]
set -eu

# Building: the compiler and CMake, the companions' headers and libraries, the Python module's.
packages="cmake g++ gemmi-dev tao-pegtl-dev libstb-dev libeigen3-dev libplplot-dev
          python3 python3-dev pybind11-dev python3-pybind11"
# Testing: GoogleTest, pytest and the type checker, the references' numpy, cctbx and
# periodictable, pymatgen's oxidation states and gemmi's CIF reader for the charge checks,
# xraylib's f' and f'' for the dispersion check,
# matplotlib for the Python page's figure, strace for the read-only runs, rsvg-convert for
# the plots, dpkg-dev for the .deb, chromium for the HTML report.
packages="$packages libgtest-dev python3-pytest python3-mypy python3-numpy python3-cctbx
          python3-periodictable python3-pymatgen python3-gemmi python3-xraylib python3-matplotlib strace
          librsvg2-bin dpkg-dev chromium"
if [ "${1:-}" = "--ci" ]; then
  packages="$packages clang-16 libclang-rt-16-dev g++-multilib g++-mingw-w64-x86-64 wine64 qemu-user
            lintian clang-format git"
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--ci]" >&2
  exit 2
fi

need=""
for package in $packages; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || need="$need $package"
done
[ -z "$need" ] && exit 0
if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q $need
else
  echo "Missing Debian packages; install them with:"
  echo "  sudo apt-get install$need"
  exit 1
fi
