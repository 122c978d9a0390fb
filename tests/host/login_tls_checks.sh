#!/usr/bin/env bash
# Login and TLS through lighttpd, run inside scripts/serve.sh --login --tls (fresh records, so
# the stand-in has stored the login admin/admin and written the user file from it). Prints one
# "PASS name" or "FAIL name: why" line per check.
set -uo pipefail
export LC_ALL=C

url=${HOST_URL:?run me through scripts/serve.sh --login --tls}
cert=${HOST_TLS_CERT:?}
state=${HOST_STATE:?}
authority=${url#https://}
authority=${authority%/}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "${BASH_SOURCE[0]}")/verdicts.sh"

# Status of one request over HTTPS, trusting only the certificate serve.sh named. HTTP/1.1:
# curl 7.88 loses an HTTP/2 answer that comes before the body it is still sending (a 401).
status() {
  curl -s -g --http1.1 --cacert "$cert" --max-time 20 -o "$work/body" -D "$work/head" \
    -w '%{http_code}' "$@"
}

expect() {
  local name=$1 expected=$2 got
  shift 2
  got=$(status "$@")
  same "$name" "$got" "$expected" "status $got, body $(head -c 200 "$work/body")"
}

fingerprint() { openssl x509 -noout -fingerprint -sha256; }

# TLS: the served certificate is the one named, and plain HTTP gets no page.
served=$(openssl s_client -connect "$authority" </dev/null 2>/dev/null | fingerprint)
named=$(fingerprint <"$cert")
same "the certificate served is the one named" "${named:+$served}" "$named" "served '$served', named '$named'"
expect "HTTPS request verified against the named certificate" 200 --digest -u admin:admin "$url"
code=$(curl -s -o /dev/null --max-time 10 -w '%{http_code}' "http://$authority/")
same "plain HTTP is not served" "$code" 000

# Login: nothing without it, pages and programs alike; a change sent without it runs nothing.
for path in / /app.js /cgi-bin/credset "/cgi-bin/stationmark?{\"id\":\"NO-LOGIN\"}"; do
  expect "$path without login: 401" 401 "$url$path"
done
same "the login asked for is digest" "$(tr -d '\r' <"$work/head" | grep -c '^WWW-Authenticate: Digest realm="GNSS receiver"')" 1 \
  "$(tr '\r\n' '  ' <"$work/head")"
expect "wrong password: 401" 401 --digest -u admin:wrong "$url/cgi-bin/credset"
expect "unknown user: 401" 401 --digest -u nobody:admin "$url/cgi-bin/credset"
expect "basic login is not taken" 401 --basic -u admin:admin "$url/cgi-bin/credset"
expect "stationmark query with login" 200 --digest -u admin:admin "$url/cgi-bin/stationmark?{}"
same "the change without login ran nothing" "$(cat "$work/body")" '{ "id": "" }'

# The defences hold for a logged-in browser too: it sends the login with any site's request.
expect "cross-site request with login: 403" 403 --digest -u admin:admin -H "Sec-Fetch-Site: cross-site" \
  "$url/cgi-bin/stationmark?{\"id\":\"CROSS\"}"
expect "foreign Host: 403 before any login" 403 -H "Host: attacker.example" "$url/"

# credset changes the login in the record; the daemon (here its stand-in) rewrites the user file.
expect "credset changes the login" 200 --digest -u admin:admin \
  --data-binary '{"name":"surveyor","newPass":"n3w-Päss","oldPass":"admin"}' "$url/cgi-bin/credset"
for _ in $(seq 50); do
  grep -q '^surveyor:' "$state/lighttpd.user" && break
  sleep 0.1
done
expect "the new login is taken" 200 --digest -u 'surveyor:n3w-Päss' "$url/cgi-bin/credset"
same "credset answers the new name" "$(cat "$work/body")" '{ "name": "surveyor", "Res": 0 }'
expect "the old login is refused" 401 --digest -u admin:admin "$url/cgi-bin/credset"

[ "$failed" -eq 0 ]
