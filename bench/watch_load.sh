#!/usr/bin/env bash
# How much of a processor `storectl watch` takes: it watches the whole monitor record beside the
# demo's daemon stand-in (whose values move every 200 ms) for a while, in an IPC namespace of
# its own. Prints the processor time of both as shares of one processor and the watcher's time
# against the stand-in's, the baseline of the same run. Run it as root.
#
#   bench/watch_load.sh [BUILD_DIR] [SECONDS]     defaults: build, 20
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
seconds=${2:-20}
for program in storectl receiver-standin; do
  [ -x "$build/bin/$program" ] || { echo "watch_load.sh: no $build/bin/$program; build first" >&2; exit 1; }
done

# Processor time in nanoseconds so far (the first field of schedstat).
processor_ns() {
  cut -d' ' -f1 "/proc/$1/schedstat"
}

# Inside the namespace: both processes, one measurement, the figures on standard output.
if [ "${WATCH_LOAD_IN_NAMESPACE:-}" = 1 ]; then
  "$build/bin/receiver-standin" --demo >/dev/null &
  standin=$!
  sleep 0.5
  "$build/bin/storectl" watch monitor >"$WATCH_LOAD_LINES" &
  watcher=$!
  sleep 0.5
  watch_start=$(processor_ns "$watcher")
  standin_start=$(processor_ns "$standin")
  sleep "$seconds"
  watch_ns=$(($(processor_ns "$watcher") - watch_start))
  standin_ns=$(($(processor_ns "$standin") - standin_start))
  kill -TERM "$watcher" "$standin"
  wait "$watcher" "$standin" || true
  echo "$watch_ns $standin_ns"
  exit 0
fi

lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
read -r watch_ns standin_ns < <(WATCH_LOAD_IN_NAMESPACE=1 WATCH_LOAD_LINES=$lines \
  unshare --ipc bash "${BASH_SOURCE[0]}" "$build" "$seconds")

model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "machine: $(uname -m), ${model:-unknown processor}, $(nproc) processors; $seconds s"
awk -v watch="$watch_ns" -v standin="$standin_ns" -v seconds="$seconds" \
  -v changes="$(wc -l <"$lines")" 'BEGIN {
  wall = seconds * 1e9
  printf "storectl watch monitor   %6.3f %% of one processor, %d changes printed\n", 100 * watch / wall, changes
  printf "receiver-standin --demo  %6.3f %% of one processor (baseline)\n", 100 * standin / wall
  if (standin > 0)
    printf "watch / stand-in         %6.2f\n", watch / standin
}'
