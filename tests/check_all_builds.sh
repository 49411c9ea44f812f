#!/usr/bin/env bash
# Builds velmora for Linux x86-64, Linux 32-bit x86 and Windows x86-64 (g++-multilib,
# g++-mingw-w64-x86-64, wine64) and runs the end-to-end, data and cross-check cases against
# each; the Windows program's lines must end with CR LF and are compared as LF.
#
#   tests/check_all_builds.sh [--skip-windows] [build-root]
set -euo pipefail
cd "$(dirname "$0")/.."
skip_windows=0
if [ "${1:-}" = "--skip-windows" ]; then skip_windows=1; shift; fi
root=${1:-build-platforms}
jobs=${JOBS:-2}

run() {  # name, then extra cmake arguments
  local name=$1; shift
  echo "=== $name"
  cmake -S . -B "$root/$name" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$root/$name" -j"$jobs" --target velmora >/dev/null
  # A kernel built without 32-bit support cannot start the 32-bit program
  # (status 126); qemu's user-mode emulator runs it there instead.
  if [ "$name" = linux-x86-32 ]; then
    local status=0
    "$root/$name/velmora" </dev/null >/dev/null 2>&1 || status=$?
    if [ "$status" = 126 ]; then
      echo "this kernel cannot run 32-bit programs: running them under qemu-i386"
      cmake -S . -B "$root/$name" "-DVELMORA_E2E_RUNNER_ARGS=--wrapper;qemu-i386" >/dev/null
    fi
  fi
  ctest --test-dir "$root/$name" -R '^(e2e|data|cross_check)\.' --output-on-failure -j"$jobs"
}

run linux-x86-64 -DVELMORA_UNIT_TESTS=OFF
run linux-x86-32 -DCMAKE_TOOLCHAIN_FILE=cmake/linux-x86-32.cmake -DVELMORA_UNIT_TESTS=OFF
if [ "$skip_windows" = 0 ]; then
  # A fresh wine prefix announces its creation on standard error; create it
  # before the first case runs.
  WINEDEBUG=-all wineboot --init >/dev/null 2>&1 || true
  run windows-x86-64 -DCMAKE_TOOLCHAIN_FILE=cmake/windows-x86-64.cmake -DVELMORA_UNIT_TESTS=OFF
fi
echo "all builds agree with the expected outputs"
