#!/usr/bin/env bash
# Times velmora-powder's refinement on a pattern of real size: one phase of 50 atoms in the
# cell (P 1 21/c 1, twelve atoms in general positions and one on the inversion centre, about
# 1000 cubic angstroms, some 1600 reflection groups; bench/make_powder_workload.py says why),
# Cu Kalpha1 + Kalpha2 from 5 to 105 degrees in steps of 0.01 (10^4 points) calculated by
# velmora-powder itself at known parameters, with a 12-term Chebyshev background and Poisson
# counts of a fixed seed, refined from a cell off by some 0.05% and widths off by 20-30%:
#   velmora-powder start.cif --observed pattern.xye --source Cu --tch (start)
#                  --refine scale,background,zero,displacement,cell,profile
#                  --background-terms 12
# 24 refined parameters (scale, zero, displacement, a b c beta, U V W X Y, 12 background terms;
# a monoclinic cell leaves four of six free). One core: VELMORA_THREADS=1 (the structure
# factors' threads; the refinement has none), one BLAS thread for numpy, and, where taskset
# exists, everything pinned to CPU 0.
# Prints the machine, points, reflections, parameters, iterations, the median wall time of 5
# runs of the whole program and of the fit alone (without --refine; the difference is the
# refinement), peak memory (/usr/bin/time), Rwp and Rexp and whether every true value is
# recovered within 3 esd; then the same refinement in numpy and scipy's least_squares
# (bench/powder_refine_peer.py, one run; it states what of the model differs) side by side.
# Figures, no pass or fail.
#   cmake --build build --target velmora-powder
#   bench/powder_refine_bench.sh [path/to/velmora-powder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
powder=$(realpath "${1:-$here/../build/src/powder/velmora-powder}")
if [ ! -x "$powder" ]; then
  echo "no $powder: build it with cmake --build build --target velmora-powder" >&2
  exit 1
fi
if ! /usr/bin/python3 -c "import numpy" 2>/dev/null; then
  echo "the workload needs numpy for /usr/bin/python3 (Debian: python3-numpy)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
one_core=(env VELMORA_THREADS=1 OPENBLAS_NUM_THREADS=1 OMP_NUM_THREADS=1)
if command -v taskset > /dev/null; then one_core=(taskset -c 0 "${one_core[@]}"); fi
/usr/bin/python3 "$here/make_powder_workload.py" "$work" "$powder" "$here/../data"
cd "$work"
mapfile -t shared < <(/usr/bin/python3 -c "import json; print('\n'.join(json.load(open('truth.json'))['shared']))")
start_tch=$(/usr/bin/python3 -c "import json; print(json.load(open('truth.json'))['start_tch'])")
fit=(start.cif --observed pattern.xye "${shared[@]}" --tch "$start_tch" --background-terms 12)
"${one_core[@]}" "$powder" "${fit[@]}" --fit-report fit0.json --reflections refl.csv 2> /dev/null
# What "all" refines for X-rays but the asymmetry: the pattern's peaks are symmetric, and the
# peer has no asymmetry to refine.
refine=("${fit[@]}" --refine scale,background,zero,displacement,cell,profile --fit-report fit.json)

median_of_5() {  # the median wall time of five runs of velmora-powder with these arguments
  /usr/bin/python3 - "${one_core[@]}" "$powder" "$@" <<'PY'
import statistics, subprocess, sys, time
times = []
for _ in range(5):
    began = time.perf_counter()
    subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    times.append(time.perf_counter() - began)
print("%.3f" % statistics.median(times))
PY
}
fit_seconds=$(median_of_5 "${fit[@]}")
refine_seconds=$(median_of_5 "${refine[@]}")
/usr/bin/time -f '%M' -o peak.txt "${one_core[@]}" "$powder" "${refine[@]}" > /dev/null 2>&1

echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores; one used"
/usr/bin/python3 - "$fit_seconds" "$refine_seconds" "$(cat peak.txt)" <<'PY'
import csv, json, sys
fit_seconds, refine_seconds, peak = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
setup, fit = json.load(open("truth.json")), json.load(open("fit.json"))
points = sum(1 for line in open("pattern.xye") if not line.startswith("#"))
rows = list(csv.DictReader(line for line in open("refl.csv") if not line.startswith("#")))
first = rows[0]["wavelength_angstrom"]
hkl = sum(1 for r in rows if r["wavelength_angstrom"] == first)
refined = [p for p in fit["parameters"] if p["refined"]]
off = {p["name"]: abs(p["value"] - setup["truth"][p["name"]]) / p["esd"] for p in refined}
worst = max(off, key=off.get)
print(f"workload: {points} points, {hkl} reflections (every equivalent h k l, each a peak at both lines), {len(refined)} refined parameters")
print(f"velmora-powder --refine: {fit['iterations']} iterations, "
      f"{'converged' if fit['converged'] else 'not converged'} ({fit['stop_reason']}); "
      f"median of 5: {refine_seconds:.2f} s the whole run, {fit_seconds:.2f} s without --refine, so "
      f"{refine_seconds - fit_seconds:.2f} s the refinement; peak memory {peak / 1024:.1f} MB")
print(f"velmora-powder: Rwp {fit['Rwp']:.5f}, Rexp {fit['Rexp']:.5f}, chi2/(N-P) {fit['chi2']:.6f}; recovered: "
      f"{sum(v <= 3 for v in off.values())} of {len(off)} within 3 esd, largest |refined - true| / esd "
      f"{off[worst]:.2f} ({worst})")
PY
"${one_core[@]}" /usr/bin/python3 "$here/powder_refine_peer.py" "$work"
