#!/usr/bin/env bash
# Start-up cost of the programs, the hot path of the product: one process per request.
# Prints, for a program built from the frame and the store and for the minimal C program kept
# here as the floor, the instructions executed per start (callgrind, repeatable) and the
# stripped size on x86-64 and armhf. valgrind cannot run Arm code on this machine, so the
# instruction count is the x86-64 one; the link setup that decides it is the same for both.
#
#   bench/startup.sh [PROGRAM]     PROGRAM defaults to fillmeter
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-fillmeter}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
  local dir=$1
  shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)" --target "$program" >/dev/null
}

build "$root/build-bench"
build "$root/build-bench-arm" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake"
gcc -O2 -o "$work/minimal" "$root/bench/minimal.c"
arm-linux-gnueabihf-gcc -O2 -o "$work/minimal-arm" "$root/bench/minimal.c"

# Instructions of one start: a GET with a query, in an IPC namespace of its own so the records
# it creates go away with it.
instructions() {
  unshare --ipc env -i REQUEST_METHOD=GET QUERY_STRING='{}' \
    valgrind --tool=callgrind --callgrind-out-file="$work/cg.out" "$1" >/dev/null 2>"$work/cg.err"
  sed -n 's/^==[0-9]*== Collected : //p' "$work/cg.err"
}

stripped_size() {
  local strip=$1 file=$2
  "$strip" -o "$work/stripped" "$file"
  stat -c %s "$work/stripped"
}

printf '%-22s %16s %14s %14s\n' program 'instr/start' 'x86-64 bytes' 'armhf bytes'
printf '%-22s %16s %14s %14s\n' "$program" "$(instructions "$root/build-bench/bin/$program")" \
  "$(stripped_size strip "$root/build-bench/bin/$program")" \
  "$(stripped_size arm-linux-gnueabihf-strip "$root/build-bench-arm/bin/$program")"
printf '%-22s %16s %14s %14s\n' "minimal C (floor)" "$(instructions "$work/minimal")" \
  "$(stripped_size strip "$work/minimal")" \
  "$(stripped_size arm-linux-gnueabihf-strip "$work/minimal-arm")"
echo
echo "Shared libraries each program needs:"
readelf -d "$root/build-bench/bin/$program" | sed -n 's/.*NEEDED.*\[\(.*\)\]/  \1/p'
