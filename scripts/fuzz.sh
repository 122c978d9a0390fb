#!/usr/bin/env bash
# Fuzzes every target with libFuzzer (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# for SECONDS each (default 60), merges the inputs that add coverage into the committed corpora
# (tests/fuzz/<target>/corpus) and prints a table per target. The input of a crash goes into
# the corpus too, so the corpus replay of the test command fails until the fault is fixed.
#   scripts/fuzz.sh [SECONDS]
# Run it as root: the settings target attaches a store in an IPC namespace of its own.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build=$root/build-fuzz
targets=(request settings upload aerlist)
declare -A max_len=([request]=2048 [settings]=2048 [upload]=6000 [aerlist]=4096)

"$root/scripts/install-deps.sh" fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
  -DFUZZING=ON -DENABLE_SANITIZERS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz-}"

count_files() { find "$1" -type f | wc -l; }

rows=()
found=0
for target in "${targets[@]}"; do
  fuzzer=$build/fuzz/fuzz-$target
  corpus=$root/tests/fuzz/$target/corpus
  run=$build/runs/$target
  rm -rf "$run"
  mkdir -p "$run/new" "$run/artifacts"
  before=$(count_files "$corpus")
  echo "=== $target: $seconds s"
  "$fuzzer" -max_total_time="$seconds" -max_len="${max_len[$target]}" -timeout=10 \
    -print_final_stats=1 -artifact_prefix="$run/artifacts/" "$run/new" "$corpus" \
    >"$run/fuzz.log" 2>&1 || true
  "$fuzzer" -merge=1 -max_len="${max_len[$target]}" "$corpus" "$run/new" >"$run/merge.log" 2>&1
  crashes=$(count_files "$run/artifacts")
  for artifact in "$run/artifacts"/*; do
    [ -e "$artifact" ] && cp "$artifact" "$corpus/" && echo "find: $artifact (log: $run/fuzz.log)"
  done
  found=$((found + crashes))
  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$run/fuzz.log" | tail -n 1)
  features=$(grep -oE ' ft: [0-9]+' "$run/fuzz.log" | tail -n 1 | grep -oE '[0-9]+' || true)
  after=$(count_files "$corpus")
  bytes=$(du -sb "$corpus" | cut -f1)
  rows+=("$(printf '%-9s %12s %9s %7s -> %-5s %8s %8s' "$target" "${executions:-?}" \
    "${features:-?}" "$before" "$after" "$((bytes / 1024)) KiB" "$crashes")")
done

echo
printf '%-9s %12s %9s %16s %8s %8s\n' target executions features 'corpus files' size crashes
printf '%s\n' "${rows[@]}"
[ "$found" -eq 0 ]
