#!/usr/bin/env bash
# Builds the fuzz targets with clang (address and undefined-behaviour
# sanitizers on) and runs each one, one after another, for SECONDS seconds
# (default: $TAVRA_FUZZ_SECONDS, else 60) from its seed corpus in
# fuzz/corpus/<target>/. Fails when any target crashes, leaks, times out,
# breaks one of its properties or draws a sanitizer report; the input that
# did it is kept in build-fuzz/findings/.
#
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-${TAVRA_FUZZ_SECONDS:-60}}
shift || true
jobs=$(nproc 2>/dev/null || echo 2)
cxx=${TAVRA_FUZZ_CXX:-$(command -v clang++-14 || command -v clang++ || true)}
if [ -z "$cxx" ]; then
  echo "fuzz/run.sh: clang++ not found (apt-get install clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=${source##*/}
    targets+=("${name%_fuzz.cpp}")
  done
fi

cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTAVRA_FUZZ=ON -DTAVRA_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzzers

findings=build-fuzz/findings
mkdir -p "$findings"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for target in "${targets[@]}"; do
  # New inputs go to a scratch copy of the seeds, never into the repository.
  mkdir -p "$work/$target"
  cp fuzz/corpus/"$target"/* "$work/$target"/
  log="$work/$target.log"
  echo "fuzz_$target: ${seconds}s"
  if build-fuzz/fuzz/fuzz_"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -max_len=8192 -print_final_stats=1 -artifact_prefix="$findings/$target-" \
       "$work/$target" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed "s/^/  /" || true
  else
    failed+=("$target")
    echo "fuzz_$target FAILED; the end of its log:" >&2
    tail -n 40 "$log" >&2
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz/run.sh: failed: ${failed[*]} (inputs in $findings/)" >&2
  exit 1
fi
echo "fuzz/run.sh: ${#targets[@]} targets, ${seconds}s each, no findings"
