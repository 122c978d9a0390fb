#!/usr/bin/env bash
# The lighttpd part of bench/programs.sh, run by it inside scripts/serve.sh with the dynamic
# build served: the static build and both floors are added to the same tree, so one server,
# one stand-in and one set of records serve all four, measured turn by turn in each round.
#   /cgi-bin/NAME         the dynamic build
#   /cgi-bin/static/NAME  the static build
#   /cgi-bin/floor-dynamic, /cgi-bin/floor-static
# Appends "rps PROGRAM KIND ROUND VALUE FLOOR_VALUE" and "latency_ms PROGRAM KIND MEDIAN P99
# COUNT" lines to $RESULTS.
set -euo pipefail

: "${HOST_URL:?run me through bench/programs.sh}" "${HOST_STATE:?}" "${RESULTS:?}"
cgi_bin=$HOST_STATE/root/www/cgi-bin
[ -d "$cgi_bin" ] || { echo "through_lighttpd.sh: no installed tree at $cgi_bin" >&2; exit 1; }
read -r -a programs <<<"$PROGRAMS"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$STATIC_BUILD" --prefix "$HOST_STATE/static-root" >/dev/null
ln -sfn "$HOST_STATE/static-root/www/cgi-bin" "$cgi_bin/static"
cp "$FLOORS/floor-dynamic" "$FLOORS/floor-static" "$cgi_bin/"
cp "$NAMES" "$HOST_STATE/list/aerkind.txt"

cat >"$work/upload.lua" <<'EOF'
wrk.method = "POST"
wrk.body = io.open(os.getenv("UPLOAD"), "rb"):read("*a")
wrk.headers["Content-Type"] = os.getenv("UPLOAD_TYPE")
EOF

path() {
  case $2 in
    dynamic) echo "cgi-bin/$1" ;;
    static) echo "cgi-bin/static/$1" ;;
    floor-*) echo "cgi-bin/$2" ;;
  esac
}

# Requests per second of one path; "error" when any answer was not a 200 or a socket failed.
requests_per_second() {
  local program=$1 kind=$2 script=()
  [ "$program" = aerkind ] && script=(-s "$work/upload.lua")
  wrk -t1 -c2 -d"${SECONDS_EACH}s" "${script[@]}" "$HOST_URL$(path "$program" "$kind")?{}" >"$work/wrk" 2>&1
  if grep -qE 'Non-2xx|Socket errors' "$work/wrk"; then
    echo error
  else
    sed -n 's/^Requests\/sec: *//p' "$work/wrk"
  fi
}

# Each figure beside the floor's of the same kind, measured just before it, so the ratio holds
# whatever else the machine is doing meanwhile.
for round in $(seq "$ROUNDS"); do
  echo "  round $round of $ROUNDS" >&2
  for program in "${programs[@]}"; do
    for kind in dynamic static; do
      floor=$(requests_per_second fillmeter "floor-$kind")
      echo "rps $program $kind $round $(requests_per_second "$program" "$kind") $floor" >>"$RESULTS"
    done
  done
done

# A settings change, sent again and again in one connection; the stand-in takes each post at
# once. ins waits a second by design, so it gets fewer.
declare -A changes=(
  [tunnex]='{"RN":"rover.example.net","authtoken":"tok-1","region":7}'
  [ddns]='{"RN":"base.example.org","SP":"dns.example.org","username":"surveyor","password":"s3cret"}'
  [portvia]='{"RN":"field-unit","authtoken":"pv-tok"}'
  [ins]='{"enable":1,"mode":6,"initSV":2.5}'
  [credset]='{"name":"surveyor","newPass":"pw","oldPass":"pw"}'
  [stationmark]='{"id":"BASE-0815"}'
)
curl -s -o /dev/null --data-binary '{"name":"surveyor","newPass":"pw","oldPass":""}' "$HOST_URL$(path credset dynamic)"

echo "  settings changes" >&2
for program in tunnex ddns portvia ins credset stationmark; do
  count=200
  [ "$program" = ins ] && count=5
  for kind in dynamic static; do
    urls=()
    for _ in $(seq "$count"); do urls+=("$HOST_URL$(path "$program" "$kind")"); done
    curl -s --max-time 120 --data-binary "${changes[$program]}" -w '\n%{http_code} %{time_total}\n' \
      "${urls[@]}" >"$work/changes"
    # Every answer a 200 that is no failure form, or the figure is not given.
    if [ "$(grep -cE '^200 [0-9.]+$' "$work/changes")" != "$count" ] ||
       grep -qE '"failed"|"Res": -1' "$work/changes"; then
      echo "latency_ms $program $kind error" >>"$RESULTS"
      continue
    fi
    sed -nE 's/^200 ([0-9.]+)$/\1/p' "$work/changes" | sort -n | awk -v program="$program" -v kind="$kind" '
      { ms[NR] = $1 * 1000 }
      END {
        p99 = int(NR * 0.99 + 0.999999)
        printf "latency_ms %s %s %.2f %.2f %d\n", program, kind, (ms[int((NR + 1) / 2)] + ms[int(NR / 2) + 1]) / 2, ms[p99], NR
      }' >>"$RESULTS"
  done
done
