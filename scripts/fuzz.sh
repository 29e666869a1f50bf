#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer under the address and
# undefined-behaviour sanitizers in build-fuzz/, runs each for SECONDS seconds
# over a copy of its corpus (the checked-in one stays as it is), prints the
# executions and coverage of each, and fails if any target found a crash.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default 60 seconds, every target)
set -uo pipefail

cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=build-fuzz
jobs=${JOBS:-2}

if [[ $# -gt 0 ]]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzz.cpp; do targets+=("$(basename "$source" .cpp)"); done
fi

cmake -S fuzz -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null || exit 1
cmake --build "$build" -j"$jobs" --target "${targets[@]}" >/dev/null || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/findings"
failed=()
printf '%-24s %12s %10s %8s %8s\n' target executions exec/s cov ft
for target in "${targets[@]}"; do
  cp -r "fuzz/corpus/$target" "$work/$target"
  log="$build/findings/$target.log"
  "$build/fuzz/$target" "$work/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target-" >"$log" 2>&1
  status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  coverage=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.* cov: \([0-9]*\) ft: \([0-9]*\).*/\1 \2/p')
  printf '%-24s %12s %10s %8s %8s\n' "$target" "${runs:-?}" "${rate:-?}" ${coverage:-? ?}
  if [[ $status -ne 0 ]]; then
    failed+=("$target")
    echo "  $target found a crash: $log" >&2
  fi
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz: crashes in ${failed[*]} (inputs in $build/findings/)" >&2
  exit 1
fi
