#!/usr/bin/env bash
# The whole test suite, as CI runs it: installs what is missing, then
#   format    the tracked C and C++ sources against .clang-format
#   native    build/         the programs and every test, run by ctest
#   static    build-static/  the same against the static build (one executable, ten links)
#   sanitize  build-asan/    the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   armhf     build-arm/     the cross build for the device, its tests under qemu-arm
#   host      build/         the programs behind lighttpd and the page in headless chromium
#   package   build-static/  the host tests again, served from the static build's package
# Every stage runs even when an earlier one failed; the summary at the end tells them apart.
# Run it as root: each test case gets IPC and mount namespaces of its own.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=$(nproc)
log_dir=$(mktemp -d)
trap 'rm -rf "$log_dir"' EXIT

"$root/scripts/install-deps.sh" all || { echo "installing the dependencies failed"; exit 1; }

stage_names=()
stage_results=()
total_passed=0
total_failed=0

# Adds up the counts a stage printed: ctest's "N% tests passed, F tests failed out of T"
# and the host tests' "P passed, F failed".
count() {
  local log=$1 line
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    local failed_n total_n
    failed_n=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
    total_n=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    total_passed=$((total_passed + total_n - failed_n))
    total_failed=$((total_failed + failed_n))
    return
  fi
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    total_passed=$((total_passed + $(cut -d' ' -f1 <<<"$line")))
    total_failed=$((total_failed + $(cut -d' ' -f3 <<<"$line")))
  fi
}

stage() {
  local name=$1 status=0
  shift
  echo
  echo "=== $name"
  "$@" 2>&1 | tee "$log_dir/$name.log" || status=${PIPESTATUS[0]}
  count "$log_dir/$name.log"
  stage_names+=("$name")
  if [ "$status" -eq 0 ]; then stage_results+=(PASS); else stage_results+=(FAIL); fi
}

build_and_test() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null &&
    cmake --build "$dir" -j"$jobs" &&
    (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 600)
}

stage format "$root/scripts/check-format.sh"
stage native build_and_test build
stage static build_and_test build-static -DPROGRAMS_STATIC=ON
stage sanitize build_and_test build-asan -DENABLE_SANITIZERS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
stage armhf build_and_test build-arm -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake"
stage host tests/host/run.sh build
stage package tests/host/run-package.sh build-static

echo
echo "=== summary"
failed_stages=0
for i in "${!stage_names[@]}"; do
  printf '%-9s %s\n' "${stage_names[$i]}" "${stage_results[$i]}"
  [ "${stage_results[$i]}" = PASS ] || failed_stages=$((failed_stages + 1))
done
echo "total: $total_passed passed, $total_failed failed"
if [ "$failed_stages" -ne 0 ]; then
  echo "FAILED: $failed_stages of ${#stage_names[@]} stages"
  exit 1
fi
echo "PASSED: all ${#stage_names[@]} stages"
