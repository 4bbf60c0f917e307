#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a fixed time.
#   fuzz/run.sh [seconds]        (default 30 per target)
# Environment: FUZZ_BUILD_DIR (default build-fuzz), CXX (default clang++).
# A FUZZ_BUILD_DIR that is already configured with -DKELVANE_BUILD_FUZZ=ON
# (CI's sanitizer build) is used as it is.
# New inputs go to a scratch corpus in the build directory; the seeds under
# fuzz/corpus/<target>/ stay as committed. A crash leaves its input in
# $FUZZ_BUILD_DIR/artifacts/ and makes the script fail, as does a fuzzer that
# exits non-zero for any other reason (its output is in $FUZZ_BUILD_DIR/<target>.log).
set -eu
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets="fuzz_srec_load fuzz_ihex_load fuzz_id_file fuzz_line_reader fuzz_cli_args fuzz_ini_text fuzz_firmware fuzz_link_replies"

grep -q '^KELVANE_BUILD_FUZZ:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null ||
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DKELVANE_BUILD_FUZZ=ON -DKELVANE_WERROR=ON \
  -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF -DKELVANE_BUILD_QT=OFF >/dev/null
nice ninja -C "$build" -j2 $targets

mkdir -p "$build/artifacts"
for target in $targets; do
  seeds=$root/fuzz/corpus/${target#fuzz_}
  scratch=$build/corpus/$target
  mkdir -p "$scratch"
  echo "== $target: $seconds s"
  log=$build/$target.log
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$scratch" "$seeds" >"$log" 2>&1 || status=$?
  grep -E '^(#[0-9]+.*DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' "$log" || true
  # A finding makes the fuzzer exit non-zero and leaves its input behind.
  if [ "$status" -ne 0 ] || ls "$build/artifacts/$target-"* >/dev/null 2>&1; then
    echo "$target failed (exit $status); log: $log"
    ls "$build/artifacts/$target-"* 2>/dev/null || true
    exit 1
  fi
done
echo "all fuzz targets ran clean"
