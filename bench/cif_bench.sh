#!/usr/bin/env bash
# Times velmora-cif with hyperfine (median of several runs) on a generated magnetic
# CIF of 2000 atom sites in Fm-3m (make_cif_workload.py): 1800 general positions
# with moments and 200 special positions, 350,400 atoms in the cell, reflections
# to d = 10 A. The target is under one second.
#
#   bench/cif_bench.sh [SITES] [path/to/velmora-cif]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
sites=${1:-2000}
converter=$(realpath "${2:-$here/../build/src/cif/velmora-cif}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/make_cif_workload.py" "$sites" > "$work/sites.mcif"
cd "$work"
hyperfine --warmup 1 --runs 5 --export-json times.json --command-name "$sites sites" \
  "$converter sites.mcif --dmin 10 -o answers.txt" >/dev/null
atoms=$(sed -n 2p answers.txt)
peak=$( { /usr/bin/time -f '%M' "$converter" sites.mcif --dmin 10 -o answers.txt; } 2>&1 | tail -1)
python3 - "$sites" "$atoms" "$peak" <<'PY'
import json, sys
sites, atoms, peak = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
median = json.load(open("times.json"))["results"][0]["median"]
verdict = "within" if median < 1.0 else "OVER"
print(f"{sites} sites -> {atoms} atoms: median {median:.3f} s ({verdict} the 1 s target),"
      f" peak memory {peak / 1024:.1f} MB")
PY
