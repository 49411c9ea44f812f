#!/usr/bin/env bash
# Times velmora on generated workloads (medians of several interleaved runs,
# bench/time_runs.py) with one thread and with all of the machine's, and
# reports peak memory and the cost per atom-reflection term.
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
if [ "$large" = 1 ]; then python3 "$here/make_workload.py" 2000 200 100000 --triclinic > "$work/w2.txt"; fi
cd "$work"
all=$(nproc)
isa=baseline
if [ "$(uname -m)" = x86_64 ]; then
  if grep -qw avx512bw /proc/cpuinfo && grep -qw avx512vl /proc/cpuinfo; then isa="AVX-512 (x86-64 Linux build)"
  elif grep -qw avx2 /proc/cpuinfo; then isa="AVX2 (x86-64 Linux build)"; fi
fi
echo "machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $all cores; instruction set: $isa"

declare -A median
while read -r name seconds; do median[$name]=$seconds; done < <(
  python3 "$here/time_runs.py" 40 "$velmora" w0=w0.txt w1_1=w1.txt@1 "w1_$all=w1.txt@$all"
  if [ "$large" = 1 ]; then python3 "$here/time_runs.py" 5 "$velmora" w2_1=w2.txt@1 "w2_$all=w2.txt@$all"; fi)

report() {  # workload, threads (empty: the default), atom-reflection terms
  local peak name=$1${2:+_$2}
  peak=$( { VELMORA_THREADS=${2:-$all} /usr/bin/time -f '%M' "$velmora" < "$1.txt" > /dev/null; } 2>&1 | tail -1)
  python3 - "$name" "${median[$name]}" "$peak" "$3" "${2:-}" <<'PY'
import sys
name, median, peak, terms, threads = sys.argv[1], float(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
per_term = "" if terms == 0 else ", %.2f ns per atom-reflection term" % (median * 1e9 / terms)
with_threads = " (%s thread%s)" % (threads, "" if threads == "1" else "s") if threads else ""
print("%s%s: median %.4f s, peak memory %.1f MB%s" % (name.split("_")[0], with_threads, median, peak / 1024, per_term))
PY
}
report w0 "" 0
report w1 1 $((5000 * (100 + 100)))
report w1 "$all" $((5000 * (100 + 100)))
python3 -c "print('W1 / W0 = %.1f with 1 thread, %.1f with $all' % (${median[w1_1]} / ${median[w0]}, ${median[w1_$all]} / ${median[w0]}))"
[ "$large" = 1 ] || exit 0
report w2 1 $((100000 * (2000 + 200)))
report w2 "$all" $((100000 * (2000 + 200)))

if ! /usr/bin/python3 -c "import gemmi" 2>/dev/null; then
  echo "gemmi: python3-gemmi is not installed; no comparison"
  exit 0
fi
# gemmi times its own summation loop (reading the structure excluded);
# median of three runs.
gemmi=$(for i in 1 2 3; do /usr/bin/python3 "$here/gemmi_xray.py" w2.txt; done | sort -n | sed -n 2p)
python3 - "${median[w2_1]}" "${median[w2_$all]}" "$all" "$gemmi" <<'PY'
import sys
one, every, all_threads, gemmi = float(sys.argv[1]), float(sys.argv[2]), sys.argv[3], float(sys.argv[4])
terms = 100000 * 2000
print("gemmi X-ray direct summation of W2: median %.3f s, %.1f ns per atom-reflection term" % (gemmi, gemmi * 1e9 / terms))
print("velmora W2 (whole run, three moduli) / gemmi (X-ray only) = %.2f with 1 thread, %.2f with %s"
      % (one / gemmi, every / gemmi, all_threads))
PY
