#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer), writes their seed corpora from the end-to-end
# cases and runs each target in turn, one at a time and under nice, for the
# given time.
#
#   tests/fuzz/run_fuzzers.sh [-b BUILD_DIR] SECONDS                 every target SECONDS
#   tests/fuzz/run_fuzzers.sh [-b BUILD_DIR] TARGET=SECONDS ...      the targets named
#
# Targets: fuzz_free_form_reader, fuzz_fixed_text, fuzz_whole_run and, with gemmi,
# fuzz_cif_conversion. The build
# directory (default build-fuzz) keeps the corpus each run grows
# (BUILD_DIR/fuzz-corpus/TARGET), the seeds (BUILD_DIR/fuzz-seeds/TARGET), the
# logs (BUILD_DIR/fuzz-logs/TARGET.log) and any input that made a target fail
# (BUILD_DIR/fuzz-artifacts/TARGET/). Exits 1 when a target failed, after
# running the others.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-fuzz
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
all=(fuzz_free_form_reader fuzz_fixed_text fuzz_whole_run)
if [ $# -eq 0 ]; then
  sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
CXX=${CXX:-clang++} CC=${CC:-clang} cmake -S . -B "$build" -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 10 cmake --build "$build" -j2 --target fuzz_targets >/dev/null
python3 tests/fuzz/make_seeds.py "$build/fuzz-seeds" >/dev/null
# The converter's target is built when gemmi's headers are there.
if [ -x "$build/tests/fuzz/fuzz_cif_conversion" ]; then all+=(fuzz_cif_conversion); fi

plan=()
if [ $# -eq 1 ] && [[ $1 =~ ^[0-9]+$ ]]; then
  for t in "${all[@]}"; do plan+=("$t=$1"); done
else
  plan=("$@")
fi

# Per target: the largest input tried (the whole run's seeds hold full tables).
max_len() {
  case $1 in
    fuzz_free_form_reader) echo 16384 ;;
    fuzz_fixed_text) echo 4096 ;;
    fuzz_cif_conversion) echo 16384 ;;
    *) echo 65536 ;;
  esac
}

dictionary() { if [ "$1" = fuzz_cif_conversion ]; then echo cif.dict; else echo velmora.dict; fi; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
mkdir -p "$build/fuzz-logs"
for item in "${plan[@]}"; do
  target=${item%%=*}
  seconds=${item#*=}
  case " ${all[*]} " in *" $target "*) ;; *) echo "unknown target: $target" >&2; exit 2 ;; esac
  corpus=$build/fuzz-corpus/$target
  artifacts=$build/fuzz-artifacts/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$corpus" "$artifacts"
  echo "=== $target, $seconds s"
  status=0
  nice -n 10 "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -max_len="$(max_len "$target")" -dict="tests/fuzz/$(dictionary "$target")" -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$build/fuzz-seeds/$target" >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" | sed 's/^/  /' || true
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$log" | sed 's/^/  /' || true
  if [ "$status" -ne 0 ]; then
    echo "  FAILED (status $status); see $log and $artifacts/"
    grep -E 'ERROR|fuzz check failed|runtime error|deadly signal|Test unit written' "$log" | head -5 | sed 's/^/  /'
    failed=1
  fi
done
exit $failed
