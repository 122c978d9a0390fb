#!/usr/bin/env bash
# The host's defences through lighttpd, run inside scripts/serve.sh --names receiver.test
# (fresh records): requests that name another host or that a browser marks as made by another
# site are refused before any program runs, and the same requests from the page itself or from a
# plain client still work; the answers carry the headers that keep them out of caches and frames.
# Prints one "PASS name" or "FAIL name: why" line per check.
set -uo pipefail -o noglob # the tables' words become curl arguments as they stand
export LC_ALL=C

url=${HOST_URL:?run me through scripts/serve.sh}
authority=${url#http://}
authority=${authority%/}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/verdicts.sh"

# Status of one request; the header block lands in $work/head (CR removed).
status() {
  curl -s --path-as-is -g --max-time 20 -o "$work/body" -D "$work/head.raw" -w '%{http_code}' "$@"
  tr -d '\r' <"$work/head.raw" >"$work/head" 2>/dev/null
}

# What the records and the list hold, as a plain client reads them.
snapshot() {
  local program
  for program in tunnex ddns aerlist; do
    curl -s -g --max-time 20 "$url/cgi-bin/$program?{}"
    echo
  done
}

# A known antenna list to lose.
printf 'HELIX 2-BAND\nCHOKE-RING B3\n' >"$work/antennas.txt"
curl -s --max-time 20 -o /dev/null -F "file=@$work/antennas.txt" "$url/cgi-bin/aerkind"

# The three attacks a page of another site made a browser send, as the browser sends them:
# a form POST in text/plain whose one field spells JSON, a no-cors fetch, and an image.
form_body='{"RN":"attacker.example","authtoken":"ATTACKER","region":3,"x":"=y"}'
attacks=(
  "form POST to tunnex|-X POST -H Content-Type:text/plain --data-binary $form_body $url/cgi-bin/tunnex"
  "no-cors fetch to ddns|-X POST -H Content-Type:text/plain;charset=UTF-8 --data-binary {\"RN\":\"x\",\"SP\":\"attacker.example\",\"username\":\"a\",\"password\":\"b\"} $url/cgi-bin/ddns"
  "image GET of aerkind|$url/cgi-bin/aerkind?WIPED"
)

# Every attack from every origin of a list (one "who | curl -H arguments" per line): the verdict,
# the status that must come, the list.
every_attack() {
  local verdict=$1 expected=$2 origin headers attack
  while IFS='|' read -r -u 3 origin headers; do
    for attack in "${attacks[@]}"; do
      # shellcheck disable=SC2086
      same "${attack%%|*}, $origin: $verdict" "$(status $headers ${attack#*|})" "$expected"
    done
  done 3<<<"$3"
}

# Who the request says it comes from (curl -H arguments) | status: every way a browser marks
# another site, and a marking of the page itself that still names a foreign origin.
refused_origins=$(cat <<EOF
cross-site|-H Sec-Fetch-Site:cross-site -H Origin:http://127.0.0.2:9000
same-site (another port of the device's address)|-H Sec-Fetch-Site:same-site -H Origin:http://127.0.0.1:9000
unknown marking|-H Sec-Fetch-Site:elsewhere
no marking, foreign Origin|-H Origin:http://attacker.example
no marking, Origin that only begins with a device name|-H Origin:http://receiver.test.attacker.example
no marking, Origin null (sandboxed page)|-H Origin:null
page's own marking, foreign Origin|-H Sec-Fetch-Site:same-origin -H Origin:http://attacker.example
EOF
)

before=$(snapshot)
every_attack refused 403 "$refused_origins"
after=$(snapshot)
same "refused requests changed nothing" "$after" "$before" "$(diff <(echo "$before") <(echo "$after") | tr '\n' ' ')"

# DNS rebinding: Host names the attacker's domain. A change by GET, so a program that ran shows.
rebind="$url/cgi-bin/tunnex?{\"RN\":\"rebound\",\"authtoken\":\"REBOUND\",\"region\":1}"
hosts=$(cat <<EOF
another domain|attacker.example:${authority#*:}|403
a name that begins with a listed one|receiver.test.attacker.example|403
a name that holds a listed one|receiverxtest|403
a name that begins with an address|127.0.0.1.attacker.example|403
EOF
)
while IFS='|' read -r -u 3 name host expected; do
  got=$(status -H "Host: $host" "$rebind")
  same "Host $name: $expected" "$got" "$expected"
  same "Host $name, the page: $expected" "$(status -H "Host: $host" "$url/")" "$expected"
done 3<<<"$hosts"
after=$(snapshot)
same "foreign Host ran no program" "$after" "$before" "records changed"

# The device's own names, each with and without a port.
for host in "$authority" "127.0.0.1" "192.0.2.7:8080" "[::1]:${authority#*:}" "localhost" \
  "LocalHost:${authority#*:}" "receiver.test" "receiver.test:${authority#*:}"; do
  same "Host $host: 200" "$(status -H "Host: $host" "$url/cgi-bin/fillmeter")" 200
done
same "HTTP/1.0 without Host: 200" "$(status --http1.0 -H "Host:" "$url/")" 200

# The page's own requests, a typed URL and plain clients: the attacks' requests go through.
allowed_origins=$(cat <<EOF
the page itself|-H Sec-Fetch-Site:same-origin -H Origin:http://$authority
the page reached by a listed name|-H Sec-Fetch-Site:same-origin -H Origin:http://receiver.test:${authority#*:}
a typed URL|-H Sec-Fetch-Site:none
a plain client|
EOF
)
every_attack served 200 "$allowed_origins"
after=$(snapshot)
if grep -q '"authtoken": "ATTACKER"' <<<"$after" && grep -q '"SP": "attacker.example"' <<<"$after" &&
   grep -q '"data": \[ "WIPED" \]' <<<"$after"; then
  pass "served requests took effect"
else
  fail "served requests took effect" "$(tr '\n' ' ' <<<"$after")"
fi

# Headers: the programs' answers are never cached or sniffed, and nothing is framed or leaks
# its address to other sites. path | header line the answer must carry
headers=$(cat <<'EOF'
/cgi-bin/ddns|Cache-Control: no-store
/cgi-bin/ddns|X-Content-Type-Options: nosniff
/cgi-bin/ddns|Referrer-Policy: no-referrer
/|Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'
/|Referrer-Policy: no-referrer
/|X-Frame-Options: DENY
/|X-Content-Type-Options: nosniff
/app.js|X-Content-Type-Options: nosniff
EOF
)
while IFS='|' read -r -u 3 path line; do
  got=$(status "$url$path")
  if [ "$got" = 200 ] && grep -qxF "$line" "$work/head"; then
    pass "$path carries $line"
  else
    fail "$path carries $line" "status $got, headers: $(grep -v '^HTTP' "$work/head" | tr '\n' '|')"
  fi
done 3<<<"$headers"
[ "$failed" -eq 0 ]
