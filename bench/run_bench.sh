#!/usr/bin/env bash
# Times velmora on generated workloads with hyperfine (medians of several
# runs) and reports the cost per atom-reflection term.
#   W0: 100 atoms, all magnetic, no reflections (start-up, tables, dialogue)
#   W1: the same with 5000 reflections (the full fixed capacity)
#   W2: 2000 atoms, 200 magnetic, 100000 reflections, triclinic cell (--large)
#
#   bench/run_bench.sh [--large] [path/to/velmora]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
large=0
if [ "${1:-}" = "--large" ]; then large=1; shift; fi
velmora=$(realpath "${1:-$here/../build/velmora}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/../data/*.txt "$work"/
python3 "$here/make_workload.py" 100 100 0 > "$work/w0.txt"
python3 "$here/make_workload.py" 100 100 5000 > "$work/w1.txt"
runs=(w0 w1)
if [ "$large" = 1 ]; then
  python3 "$here/make_workload.py" 2000 200 100000 --triclinic > "$work/w2.txt"
  runs+=(w2)
fi
cd "$work"
for w in "${runs[@]}"; do
  hyperfine --warmup 1 --runs 5 --export-json "$w.json" --command-name "$w" \
    "$velmora < $w.txt > /dev/null" >/dev/null
  median=$(python3 -c "import json;print(json.load(open('$w.json'))['results'][0]['median'])")
  peak=$( { /usr/bin/time -f '%M' "$velmora" < "$w.txt" > /dev/null; } 2>&1 | tail -1)
  case $w in
    w0) terms=0 ;;
    w1) terms=$((5000 * (100 + 100))) ;;
    w2) terms=$((100000 * (2000 + 200))) ;;
  esac
  python3 - "$w" "$median" "$peak" "$terms" <<'PY'
import sys
name, median, peak, terms = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
per_term = "" if terms == 0 else "  %.1f ns per atom-reflection term" % (median * 1e9 / terms)
print("%s: median %.4f s, peak memory %.1f MB%s" % (name, median, peak / 1024, per_term))
PY
done
