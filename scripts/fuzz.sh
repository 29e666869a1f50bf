#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer under the address and
# undefined-behaviour sanitizers in build-fuzz/, runs each for SECONDS seconds
# over a copy of its corpus (the checked-in one stays as it is), prints the
# executions and coverage of each, and fails if any target found a crash.
# fuzz/TARGET.options, when there is one, adds libFuzzer flags for that target:
# "name = value" lines under "[libfuzzer]" (comments start with # or ;).
# RUNS=N ends a target after N executions if that comes first.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     (default 60 seconds, every target)
set -uo pipefail

cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
build=build-fuzz
jobs=${JOBS:-2}

# The flags of fuzz/$1.options, one "-name=value" a line.
target_flags() {
  local file="fuzz/$1.options"
  [[ -f $file ]] || return 0
  awk '
    /^[ \t]*([#;]|$)/ { next }
    /^[ \t]*\[/ { section = $0; gsub(/[ \t\[\]]/, "", section); next }
    section == "libfuzzer" && index($0, "=") {
      name = substr($0, 1, index($0, "=") - 1); value = substr($0, index($0, "=") + 1)
      gsub(/^[ \t]+|[ \t]+$/, "", name); gsub(/^[ \t]+|[ \t]+$/, "", value)
      print "-" name "=" value
    }' "$file"
}

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
  mapfile -t flags < <(target_flags "$target")
  [[ -n ${RUNS:-} ]] && flags+=(-runs="$RUNS")
  command=("$build/fuzz/$target" "$work/$target" -max_total_time="$seconds" -print_final_stats=1
    "${flags[@]}" -artifact_prefix="$build/findings/$target-")
  echo "+ ${command[*]}" >"$log"
  "${command[@]}" >>"$log" 2>&1
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
