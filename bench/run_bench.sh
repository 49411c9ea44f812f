#!/usr/bin/env bash
# Times velmora on generated workloads with hyperfine (medians of several
# runs) and reports peak memory and the cost per atom-reflection term.
#   W0: 100 atoms, all magnetic, no reflections (start-up, tables, dialogue)
#   W1: the same with 5000 reflections (the full fixed capacity)
#   W2: 2000 atoms, 200 magnetic, 100000 reflections, triclinic cell (--large),
#       side by side with gemmi's direct summation of the X-ray structure
#       factors of the same atoms and reflections (needs python3-gemmi).
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
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
declare -A median
for w in "${runs[@]}"; do
  case $w in
    w0) terms=0; count=20 ;;
    w1) terms=$((5000 * (100 + 100))); count=20 ;;
    w2) terms=$((100000 * (2000 + 200))); count=5 ;;
  esac
  hyperfine --style none --warmup 1 --runs "$count" --export-json "$w.json" --command-name "$w" \
    "$velmora < $w.txt > /dev/null" >/dev/null 2>&1
  median[$w]=$(python3 -c "import json;print(json.load(open('$w.json'))['results'][0]['median'])")
  peak=$( { /usr/bin/time -f '%M' "$velmora" < "$w.txt" > /dev/null; } 2>&1 | tail -1)
  python3 - "$w" "${median[$w]}" "$peak" "$terms" <<'PY'
import sys
name, median, peak, terms = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
per_term = "" if terms == 0 else ", %.1f ns per atom-reflection term" % (median * 1e9 / terms)
print("%s: median %.4f s, peak memory %.1f MB%s" % (name, median, peak / 1024, per_term))
PY
done
python3 -c "print('W1 / W0 = %.1f' % (${median[w1]} / ${median[w0]}))"

if [ "$large" = 1 ]; then
  if ! /usr/bin/python3 -c "import gemmi" 2>/dev/null; then
    echo "gemmi: python3-gemmi is not installed; no comparison"
    exit 0
  fi
  # gemmi times its own summation loop (reading the structure excluded);
  # median of three runs.
  gemmi=$(for i in 1 2 3; do /usr/bin/python3 "$here/gemmi_xray.py" w2.txt; done | sort -n | sed -n 2p)
  python3 - "${median[w2]}" "$gemmi" <<'PY'
import sys
velmora, gemmi = float(sys.argv[1]), float(sys.argv[2])
terms = 100000 * 2000
print("gemmi X-ray direct summation of W2: median %.3f s, %.1f ns per atom-reflection term" % (gemmi, gemmi * 1e9 / terms))
print("velmora W2 (whole run, three moduli) / gemmi (X-ray only) = %.2f" % (velmora / gemmi))
PY
fi
