#!/usr/bin/env bash
# Peak memory and output sizes of velmora-powder's largest outputs: the reflections CSV of an
# answer file listing 10^7 reflections (iron's cell, h k l from -20 to 20), and the CSV and
# plot of a pattern of 2.5x10^6 points (about the most that single-precision 2theta holds
# apart). Each reflection's values become peaks as they are computed, the tables are written as
# they are made and the plot is thinned to its width, so memory is that of the list and its
# peaks (of the list alone when the reflections table is all that is asked for), and the SVG
# stays small however many points it shows. Last, the fit of a measured pattern of 10^7 points,
# whose linear least squares keep no design matrix: memory is the pattern's own arrays.
#
#   bench/powder_memory.sh [path/to/velmora-powder]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
powder=$(realpath "${1:-$here/../build/src/powder/velmora-powder}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
python3 - "$here/../examples/iron_bcc.txt" <<'PY'
import random, sys
random.seed(1)
head = open(sys.argv[1]).read().split("\n")[:6]
with open("many.txt", "w") as f:
    f.write("\n".join(head) + "\n10000000\n")
    for _ in range(10 ** 7):
        f.write("%d %d %d\n" % (random.randint(1, 20), random.randint(-20, 20), random.randint(-20, 20)))
PY
measure() {  # label, answer file, then the command line's options
  local label=$1 answers=$2; shift 2
  /usr/bin/time -f '%M' -o peak.txt "$powder" "$answers" --tables "$here/../data" "$@" 2>/dev/null
  printf '%-40s peak %7.1f MB' "$label" "$(awk '{print $1 / 1024}' peak.txt)"
  for f in r.csv p.csv p.svg; do [ -f $f ] && printf ', %s %s' $f "$(du -h $f | cut -f1)"; done
  printf '\n'
  rm -f r.csv p.csv p.svg
}
measure "10^7 reflections, --reflections" many.txt --wavelength 0.1 --answer-hkl --reflections r.csv
iron=$here/../examples/iron_bcc.txt
measure "2.5x10^6 points, --csv" "$iron" --wavelength 0.1 --fwhm 0.2 --two-theta 0:10:0.000004 --csv p.csv
measure "2.5x10^6 points, --plot" "$iron" --wavelength 0.1 --fwhm 0.2 --two-theta 0:10:0.000004 --plot p.svg
python3 - <<'PY'
import random
random.seed(2)
with open("measured.xy", "w") as f:
    for i in range(10 ** 7):
        x = 10 + i * 1e-5
        f.write("%.5f %d\n" % (x, 100 + random.randint(-10, 10) + (400 if abs(x - 44.47) < 0.05 else 0)))
PY
start=$(date +%s)
measure "10^7 measured points, --observed" "$iron" --wavelength 1.5 --fwhm 0.1 --observed measured.xy --fit-report f.json
echo "  (the fit took $(( $(date +%s) - start )) s)"
