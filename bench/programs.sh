#!/usr/bin/env bash
# The cost of every program, the hot path of the product (one process per request), for the
# dynamic build, the static build (PROGRAMS_STATIC) and the two C floors (bench/floor.c linked
# dynamically and statically), all measured in this one run:
#   instructions of one request on x86-64 (callgrind) and on armhf (qemu-arm's block log),
#   stripped sizes on both, peak RSS, requests per second through lighttpd (wrk) beside the
#   floor's, and the latency of a settings change through lighttpd with the daemon stand-in
#   answering at once.
# Prints a table per program, the sizes of cgi-bin/, and the targets the figures are held to.
# The records live in namespaces of the run's own; the list in build-bench/list/.
#
#   bench/programs.sh [--rounds N] [--seconds S]    (as root; defaults: 3 rounds of 2 s)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
rounds=3
seconds=2
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=${2:?}; shift 2 ;;
    --seconds) seconds=${2:?}; shift 2 ;;
    *) sed -n '12p' "${BASH_SOURCE[0]}" | sed 's/^# *//' >&2; exit 2 ;;
  esac
done
[ "$(id -u)" = 0 ] || { echo "programs.sh: needs root for its namespaces" >&2; exit 1; }
"$root/scripts/install-deps.sh" bench >/dev/null

bench=$root/build-bench
work=$bench/run
results=$work/results
list_path=$bench/list/aerkind.txt
programs=(tunnex ddns portvia ins credset stationmark fillmeter aersignal aerlist aerkind)
rm -rf "$work"
mkdir -p "$work" "$(dirname "$list_path")"
: >"$results"

record() { echo "$*" >>"$results"; }

# --- builds: the product as it ships, release, no tests
declare -A dirs=([dynamic]=$bench/x86-dynamic [static]=$bench/x86-static
                 [arm-dynamic]=$bench/arm-dynamic [arm-static]=$bench/arm-static)
for kind in dynamic static arm-dynamic arm-static; do
  options=(-DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DAERKIND_LIST_PATH="$list_path")
  [[ $kind == *static ]] && options+=(-DPROGRAMS_STATIC=ON)
  [[ $kind == arm-* ]] && options+=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/arm-linux-gnueabihf.cmake")
  echo "building $kind" >&2
  cmake -S "$root" -B "${dirs[$kind]}" -G Ninja "${options[@]}" >/dev/null
  cmake --build "${dirs[$kind]}" -j2 >/dev/null
done
floors=$bench/floors
mkdir -p "$floors"
floor_flags=(-std=c99 -O2 -Wall -Wextra -I"$root/cgi/commn" "$here/floor.c" -ljson-c)
gcc -o "$floors/floor-dynamic" "${floor_flags[@]}"
gcc -static -o "$floors/floor-static" "${floor_flags[@]}"
arm-linux-gnueabihf-gcc -o "$floors/floor-arm-dynamic" "${floor_flags[@]}"
arm-linux-gnueabihf-gcc -static -o "$floors/floor-arm-static" "${floor_flags[@]}"

# --- one request per program, as the page makes it: a query, aerkind an upload of 20 names
for i in $(seq -w 1 20); do echo "PATCH-L1L2-$i"; done >"$work/names.txt"
boundary=bench-boundary
{
  printf -- '--%s\r\nContent-Disposition: form-data; name="file"; filename="antennas.txt"\r\n' "$boundary"
  printf 'Content-Type: text/plain\r\n\r\n'
  cat "$work/names.txt"
  printf '\r\n--%s--\r\n' "$boundary"
} >"$work/upload"
upload_type="multipart/form-data; boundary=$boundary"

# Runs a command as one request of program in an IPC namespace of its own, after a run that
# makes the records as the daemon would have (the floor expects them), with the list in place
# for aerlist.
in_fresh_records() {
  local program=$1 input=/dev/null request=(REQUEST_METHOD=GET QUERY_STRING='{}')
  shift
  if [ "$program" = aerkind ]; then
    input=$work/upload
    request=(REQUEST_METHOD=POST CONTENT_TYPE="$upload_type" CONTENT_LENGTH="$(stat -c %s "$input")")
  fi
  cp "$work/names.txt" "$list_path"
  unshare --ipc bash -c '"$1" </dev/null >/dev/null && input=$2 && shift 2 && exec "$@" <"$input"' \
    -- "${dirs[dynamic]}/bin/fillmeter" "$input" env -i "${request[@]}" "$@"
}

# The floor does fillmeter's work, and is measured with its request.
echo "counting instructions, peak RSS" >&2
for program in "${programs[@]}" floor; do
  for kind in dynamic static; do
    if [ "$program" = floor ]; then
      x86=$floors/floor-$kind arm=$floors/floor-arm-$kind request=fillmeter
    else
      x86=${dirs[$kind]}/bin/$program arm=${dirs[arm-$kind]}/bin/$program request=$program
    fi
    in_fresh_records "$request" valgrind --tool=callgrind --callgrind-out-file=/dev/null "$x86" \
      >/dev/null 2>"$work/callgrind.err"
    record instr_x86 "$program" "$kind" "$(sed -n 's/^==[0-9]*== Collected : //p' "$work/callgrind.err")"
    in_fresh_records "$request" qemu-arm -L / -d in_asm,exec,nochain -D "$work/qemu.log" "$arm" >/dev/null
    record instr_arm "$program" "$kind" "$(python3 "$here/arm_instructions.py" "$work/qemu.log")"
    rm -f "$work/qemu.log"
    in_fresh_records "$request" /usr/bin/time -f '%M' -o "$work/rss" "$x86" >/dev/null
    record rss_kb "$program" "$kind" "$(tail -n 1 "$work/rss")"
  done
done

stripped_size() {
  "$1" -o "$work/stripped" "$2"
  stat -c %s "$work/stripped"
}
for program in "${programs[@]}" floor; do
  for kind in dynamic static; do
    if [ "$program" = floor ]; then
      x86=$floors/floor-$kind arm=$floors/floor-arm-$kind
    else
      x86=$(readlink -f "${dirs[$kind]}/bin/$program") arm=$(readlink -f "${dirs[arm-$kind]}/bin/$program")
    fi
    record size_x86 "$program" "$kind" "$(stripped_size strip "$x86")"
    record size_arm "$program" "$kind" "$(stripped_size arm-linux-gnueabihf-strip "$arm")"
  done
done

echo "serving through lighttpd" >&2
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
PROGRAMS="${programs[*]}" RESULTS=$results ROUNDS=$rounds SECONDS_EACH=$seconds \
  STATIC_BUILD=${dirs[static]} FLOORS=$floors UPLOAD=$work/upload UPLOAD_TYPE=$upload_type \
  NAMES=$work/names.txt \
  "$root/scripts/serve.sh" --port "$port" --state "$work/host" "${dirs[dynamic]}" -- \
  "$here/through_lighttpd.sh"

python3 "$here/table.py" "$results"
