#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan), writes their seeds from the
# whole-program cases and velmora-cif's (the converter's target is built with gemmi) and runs
# each target in turn under nice for the given seconds:
#   tests/fuzz/run_fuzzers.sh [-b BUILD_DIR] SECONDS               every target
#   tests/fuzz/run_fuzzers.sh [-b BUILD_DIR] TARGET=SECONDS ...    the targets named
# BUILD_DIR (default build-fuzz) keeps fuzz-corpus/, fuzz-seeds/, fuzz-logs/ and, for any input
# that made a target fail, fuzz-artifacts/TARGET/. Exits 1 when a target failed.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build-fuzz
if [ "${1:-}" = "-b" ]; then build=$2; shift 2; fi
all=(fuzz_whole_run fuzz_powder_run)
[ $# -gt 0 ] || { sed -n '2,7p' "$0"; exit 2; }
# Absolute paths: velmora-powder's target works in a scratch folder of its own.
build=$(realpath -m "$build")
plan=("$@")

CXX=${CXX:-clang++-16} CC=${CC:-clang-16} cmake -S . -B "$build" -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
nice -n 10 cmake --build "$build" -j2 --target fuzz_targets >/dev/null
python3 tests/fuzz/make_seeds.py "$build/fuzz-seeds" >/dev/null
# The converter's target is built when gemmi's headers are there.
if [ -x "$build/tests/fuzz/fuzz_cif_conversion" ]; then all+=(fuzz_cif_conversion); fi
if [ $# -eq 1 ] && [[ $1 =~ ^[0-9]+$ ]]; then plan=(); for t in "${all[@]}"; do plan+=("$t=$1"); done; fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for item in "${plan[@]}"; do
  target=${item%%=*} seconds=${item#*=}
  [[ " ${all[*]} " == *" $target "* ]] || { echo "unknown target: $target" >&2; exit 2; }
  # velmora-powder's pattern may sum up to 5e8 terms by design: 2 s in a release build, some
  # 100 s in this build (sanitizers and coverage counters on every term).
  timeout=30
  case $target in
    fuzz_whole_run) max_len=65536 dict=velmora.dict ;;
    fuzz_powder_run) max_len=16384 dict=powder.dict timeout=240 ;;
    *) max_len=16384 dict=cif.dict ;;
  esac
  log=$build/fuzz-logs/$target.log
  mkdir -p "$build/fuzz-corpus/$target" "$build/fuzz-artifacts/$target" "$build/fuzz-logs"
  echo "=== $target, $seconds s"
  status=0
  nice -n 10 "$build/tests/fuzz/$target" -max_total_time="$seconds" -timeout=$timeout -rss_limit_mb=2048 \
    -max_len=$max_len -dict="$PWD/tests/fuzz/$dict" -print_final_stats=1 -artifact_prefix="$build/fuzz-artifacts/$target/" \
    "$build/fuzz-corpus/$target" "$build/fuzz-seeds/$target" >"$log" 2>&1 || status=$?
  grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|peak_rss_mb)' "$log" | sed 's/^/  /' || true
  if [ "$status" -ne 0 ]; then
    echo "  FAILED (status $status); see $log"
    grep -E 'ERROR|fuzz check failed|runtime error|deadly signal|Test unit written' "$log" | head -5 | sed 's/^/  /'
    failed=1
  fi
done
exit $failed
