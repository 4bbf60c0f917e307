#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a fixed time.
#   fuzz/run.sh [seconds]        (default 30 per target)
# Environment: FUZZ_BUILD_DIR (default build-fuzz), CXX (default clang++).
# New inputs go to a scratch corpus in the build directory; the seeds under
# fuzz/corpus/<target>/ stay as committed. A crash leaves its input in
# $FUZZ_BUILD_DIR/artifacts/ and makes the script fail.
set -eu
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
targets="fuzz_srec_load fuzz_id_file fuzz_line_reader"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DKELVANE_BUILD_FUZZ=ON \
  -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF -DKELVANE_BUILD_QT=OFF >/dev/null
nice ninja -C "$build" -j2 $targets

mkdir -p "$build/artifacts"
for target in $targets; do
  seeds=$root/fuzz/corpus/${target#fuzz_}
  scratch=$build/corpus/$target
  mkdir -p "$scratch"
  echo "== $target: $seconds s"
  "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$scratch" "$seeds" 2>&1 |
    grep -E '^(#[0-9]+.*DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' || true
  # grep hides the fuzzer's exit status; a saved artifact means it failed.
  if ls "$build/artifacts/$target-"* >/dev/null 2>&1; then
    echo "$target found a failure:" "$build/artifacts/$target-"*
    exit 1
  fi
done
echo "all fuzz targets ran clean"
