#!/usr/bin/env bash
# Times the least-squares engine on a Rietveld-sized problem (10^4 points, 100
# pseudo-Voigt peaks, 30 refined parameters; bench/refine_bench.cpp), one thread,
# all derivatives by differences and with the linear ones analytic, then the same
# problem fitted by scipy's least_squares (bench/refine_peer.py) for comparison.
#   cmake --build build --target velmora_refine_bench
#   bench/refine_bench.sh [path/to/velmora_refine_bench]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${1:-$here/../build/bench/velmora_refine_bench}
if [ ! -x "$bench" ]; then
  echo "no $bench: build it with cmake --build build --target velmora_refine_bench" >&2
  exit 1
fi
python=python3
if [ -x /usr/bin/python3 ]; then python=/usr/bin/python3; fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
"$bench" "$work/problem.json"
"$python" "$here/refine_peer.py" "$work/problem.json"
