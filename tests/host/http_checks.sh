#!/usr/bin/env bash
# Requests through lighttpd to every program, run inside scripts/serve.sh (fresh records, quiet
# stand-in). Each case checks what the client receives (status, header block, exact body) and,
# where the request changes nothing, that the program run directly with the CGI environment
# alone, as the test harness runs it, answers the same bytes behind its header block.
# Prints one "PASS name" or "FAIL name: why" line per check.
set -uo pipefail
export LC_ALL=C

url=${HOST_URL:?run me through scripts/serve.sh}
build=${HOST_BUILD:?}
state=${HOST_STATE:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

header=$'Content-type: application/text;charset=utf-8\n\n'
. "$(dirname "${BASH_SOURCE[0]}")/verdicts.sh"

# What the client gets: $work/head (status and header lines, CR removed) and $work/body.
fetch() {
  local method=$1 path=$2 request=$3
  local args=(-sS --path-as-is -g --max-time 20 -D "$work/head.raw" -o "$work/body")
  rm -f "$work/head.raw" "$work/body"
  case $method in
    GET) curl "${args[@]}" "$url$path${request:+?$request}" </dev/null ;;
    POST) curl "${args[@]}" --data-binary "$request" "$url$path" ;;
    UPLOAD) curl "${args[@]}" -F "file=@$request;filename=antennas.txt" "$url$path" ;;
  esac || return 1
  tr -d '\r' <"$work/head.raw" >"$work/head"
}

# The program itself, as a CGI host runs it: nothing but the CGI variables, body on stdin.
direct() {
  local method=$1 program=$2 request=$3
  case $method in
    GET) env -i REQUEST_METHOD=GET QUERY_STRING="$request" timeout 20 "$build/bin/$program" </dev/null ;;
    POST) printf '%s' "$request" |
            env -i REQUEST_METHOD=POST CONTENT_LENGTH=${#request} timeout 20 "$build/bin/$program" ;;
  esac
}

# Status 200, the program's header as the client receives it, a matching length, exact body.
check_response() {
  local expected=$1 length
  [ "$(head -n1 "$work/head")" = "HTTP/1.1 200 OK" ] || { echo "status $(head -n1 "$work/head")"; return 1; }
  grep -qx 'Content-type: application/text;charset=utf-8' "$work/head" ||
    { echo "no program header in: $(tr '\n' '|' <"$work/head")"; return 1; }
  length=$(sed -n 's/^Content-Length: //p' "$work/head")
  [ "$length" = "$(stat -c %s "$work/body")" ] || { echo "Content-Length $length"; return 1; }
  printf '%s' "$expected" >"$work/expected"
  cmp -s "$work/body" "$work/expected" || { echo "body $(head -c 300 "$work/body")"; return 1; }
}

# name | method | path below the host | request | exact answer | "same": also run directly
#
# The requests run in order on one set of records: each change is followed by a query that
# shows it. A GET carries its JSON as the plain query string; the percent-encoded one is what a
# browser would send, and the programs must see it undecoded (a query, not a disable).
cases=$(cat <<'EOF'
tunnex query fresh records|GET|/cgi-bin/tunnex|{}|{ "RN": "", "authtoken": "", "region": 0, "State": 0, "Res": "success" }|same
tunnex set by POST|POST|/cgi-bin/tunnex|{"RN":"rover.example.net","authtoken":"tok-1","region":7}|{ "State": 1, "Res": "success" }|
tunnex query shows the set|GET|/cgi-bin/tunnex|{}|{ "RN": "rover.example.net", "authtoken": "tok-1", "region": 7, "State": 1, "Res": "success" }|same
tunnex percent-encoded query reaches it undecoded|GET|/cgi-bin/tunnex|%7B%22key%22:1%7D|{ "RN": "rover.example.net", "authtoken": "tok-1", "region": 7, "State": 1, "Res": "success" }|same
tunnex disable by GET|GET|/cgi-bin/tunnex|{"key":null}|{ "State": 0, "Res": "success" }|
tunnex query after disable|POST|/cgi-bin/tunnex||{ "RN": "rover.example.net", "authtoken": "tok-1", "region": 7, "State": 0, "Res": "success" }|same
portvia set by GET|GET|/cgi-bin/portvia|{"RN":"field-unit","authtoken":"pv-tok"}|{ "State": 1, "Res": "success" }|
portvia query|POST|/cgi-bin/portvia|{}|{ "RN": "field-unit", "authtoken": "pv-tok", "State": 1, "Res": "success" }|same
ddns set by POST|POST|/cgi-bin/ddns|{"RN":"base.example.org","SP":"dns.example.org","username":"surveyor","password":"s3cret"}|{ "State": 1, "Res": "success" }|
ddns query|GET|/cgi-bin/ddns|{}|{ "RN": "base.example.org", "SP": "dns.example.org", "username": "surveyor", "password": "s3cret", "State": 1, "Res": "success" }|same
ins change|POST|/cgi-bin/ins|{"enable":1,"mode":6,"initSV":2.5}|{ "Res": "Success" }|
ins query|GET|/cgi-bin/ins|{}|{ "enable": 1, "mode": 6, "initSV": 2, "imuState": 0, "Res": "Success" }|same
credset query fresh records|GET|/cgi-bin/credset|{}|{ "name": "", "Res": 0 }|same
credset wrong old password|POST|/cgi-bin/credset|{"name":"intruder","newPass":"x","oldPass":"guess"}|{ "Res": -1 }|same
credset change|POST|/cgi-bin/credset|{"name":"surveyor","newPass":"pw-1","oldPass":""}|{ "Res": 0 }|
credset query shows the change|GET|/cgi-bin/credset|{}|{ "name": "surveyor", "Res": 0 }|same
stationmark set|POST|/cgi-bin/stationmark|{"id":"BASE-0815"}|{ }|
stationmark query|GET|/cgi-bin/stationmark|{}|{ "id": "BASE-0815" }|same
fillmeter by GET|GET|/cgi-bin/fillmeter|{}|{ "res": "0.00" }|same
fillmeter by POST|POST|/cgi-bin/fillmeter|{"any":1}|{ "res": "0.00" }|same
aersignal|GET|/cgi-bin/aersignal||{ "Res": "ok", "log": "{ \"Ant1SQI\": 0, \"Ant2SQI\": 0 }" }|same
aerlist before any upload|GET|/cgi-bin/aerlist|{}|{ "Res": "failed" }|same
encoded path still runs the program|GET|/%63gi-bin/fillmeter||{ "res": "0.00" }|
doubled slash still runs the program|GET|/cgi-bin//fillmeter||{ "res": "0.00" }|
dot segments still run the program|GET|/static/../cgi-bin/./fillmeter||{ "res": "0.00" }|
EOF
)

while IFS='|' read -r -u 3 name method path request expected mode; do
  if ! fetch "$method" "$path" "$request"; then
    fail "$name" "no HTTP answer"
    continue
  fi
  if ! why=$(check_response "$expected"); then
    fail "$name" "$why"
    continue
  fi
  if [ "$mode" = same ]; then
    direct "$method" "$(basename "$path")" "$request" >"$work/direct"
    printf '%s' "$header" | cat - "$work/body" >"$work/want"
    if ! cmp -s "$work/direct" "$work/want"; then
      fail "$name" "run directly it answers $(head -c 300 "$work/direct" | tr '\n' '|')"
      continue
    fi
  fi
  pass "$name"
done 3<<<"$cases"

# Each change reached the daemon as its operation, in order.
ops=$(awk '$1 == "op" { printf "%s%s", sep, $2; sep = " " }' "$state/standin.log")
if [ "$ops" = "64 64 63 62 65 11" ]; then
  pass "changes posted to the daemon"
else
  fail "changes posted to the daemon" "operations taken: '$ops'"
fi

# The upload: a file of more than one read chunk, with a name of exactly 20 bytes, sent the
# way curl -F sends a form; the list must hold the file byte for byte and read back name by name.
{
  printf '%s\n' 'HELIX 2-BAND' 'TWENTY-BYTES-NAME-20'
  for i in $(seq 1 300); do printf 'PATCH-L1L2-%03d\n' "$i"; done
} >"$work/antennas.txt"
names=$(sed 's/.*/"&"/' "$work/antennas.txt" | paste -sd, - | sed 's/,/, /g')
list_answer="{ \"data\": [ $names ], \"Res\": \"Success\" }"
if ! fetch UPLOAD /cgi-bin/aerkind "$work/antennas.txt"; then
  fail "aerkind multipart upload" "no HTTP answer"
elif ! why=$(check_response '{ "Res": "Success" }'); then
  fail "aerkind multipart upload" "$why"
elif ! cmp -s "$state/list/aerkind.txt" "$work/antennas.txt"; then
  fail "aerkind multipart upload" "the stored list differs from the uploaded file"
else
  pass "aerkind multipart upload"
fi
if ! fetch GET /cgi-bin/aerlist '{}'; then
  fail "aerlist after the upload" "no HTTP answer"
elif ! why=$(check_response "$list_answer"); then
  fail "aerlist after the upload" "$why"
elif ! direct GET aerlist '{}' | cmp -s - <(printf '%s' "$header"; cat "$work/body"); then
  fail "aerlist after the upload" "run directly it answers differently"
else
  pass "aerlist after the upload"
fi

# The pages themselves, and nothing under cgi-bin that is not a program.
if fetch GET / '' && [ "$(head -n1 "$work/head")" = "HTTP/1.1 200 OK" ] &&
   grep -qx 'Content-Type: text/html; charset=utf-8' "$work/head" && grep -q 'src="app.js"' "$work/body"; then
  pass "the page is served"
else
  fail "the page is served" "$(head -n1 "$work/head" 2>/dev/null)"
fi
if fetch GET /cgi-bin/nonesuch '' && [ "$(head -n1 "$work/head")" = "HTTP/1.1 404 Not Found" ]; then
  pass "unknown program is not found"
else
  fail "unknown program is not found" "$(head -n1 "$work/head" 2>/dev/null)"
fi

[ "$failed" -eq 0 ]
