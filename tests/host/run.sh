#!/usr/bin/env bash
# The host tests: the programs of a native build behind the real lighttpd, each step in a host
# of its own (scripts/serve.sh: own IPC and mount namespace, free loopback port).
#   1. HTTP requests to every program (http_checks.sh), with a quiet daemon stand-in;
#   2. the host's defences over HTTP (guard_checks.sh): foreign Host names, requests marked as
#      sent by other sites, the response headers;
#   3. login and TLS over HTTPS (login_tls_checks.sh), the host started with both;
#   4. the page in headless chromium (browser.mjs), with a lively stand-in, attacked by pages of
#      other sites; its screenshot goes to test-artifacts/host-page.png;
#   5. the page in chromium with login and TLS on (browser_login.mjs).
#
#   tests/host/run.sh BUILD_DIR
#
# Ends with the line "N passed, N failed"; exits non-zero when anything failed.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
artifacts=$root/test-artifacts
state=$build/host-state
output=$(mktemp)
trap 'rm -f "$output"' EXIT

passed=0
failed=0

fail_setup() {
  echo "FAIL $1"
  failed=$((failed + 1))
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Runs one step, shows its lines as they come and counts them; a step that fails without
# saying which check failed counts as one failure of its own.
step() {
  local name=$1 status=0 step_passed step_failed
  shift
  echo "== $name"
  "$@" 2>&1 | tee "$output" || status=${PIPESTATUS[0]}
  step_passed=$(grep -c '^PASS ' "$output")
  step_failed=$(grep -c '^FAIL ' "$output")
  if [ "$status" -ne 0 ] && [ "$step_failed" -eq 0 ]; then
    echo "FAIL $name: exited with status $status"
    step_failed=1
  fi
  passed=$((passed + step_passed))
  failed=$((failed + step_failed))
  if [ "$step_failed" -ne 0 ]; then
    echo "   logs of this host: $state/$name/"
  fi
}

missing=
for program in tunnex ddns portvia ins credset stationmark fillmeter aersignal aerlist aerkind receiver-standin; do
  [ -x "$build/bin/$program" ] || missing="$missing $program"
done
[ -z "$missing" ] || fail_setup "build: $build/bin lacks$missing"
[ "$(id -u)" = 0 ] || fail_setup "setup: the host needs root for its namespaces"
for tool in lighttpd curl openssl node npm python3 /usr/bin/chromium; do
  command -v "$tool" >/dev/null || fail_setup "setup: $tool is missing (scripts/install-deps.sh)"
done

if [ "$failed" -eq 0 ]; then
  rm -rf "$state"
  mkdir -p "$state" "$artifacts"

  step http timeout -k 10 300 "$root/scripts/serve.sh" --port "$(free_port)" --state "$state/http" \
    "$build" -- "$here/http_checks.sh"
  step guard timeout -k 10 300 "$root/scripts/serve.sh" --port "$(free_port)" --state "$state/guard" \
    --names receiver.test "$build" -- "$here/guard_checks.sh"
  step login-tls timeout -k 10 300 "$root/scripts/serve.sh" --port "$(free_port)" \
    --state "$state/login-tls" --login --tls "$build" -- "$here/login_tls_checks.sh"

  echo "== npm ci"
  if (cd "$here" && timeout -k 10 300 npm ci --no-audit --no-fund --loglevel=error); then
    step browser timeout -k 10 300 "$root/scripts/serve.sh" --demo --port "$(free_port)" \
      --state "$state/browser" "$build" -- \
      env ARTIFACTS_DIR="$artifacts" timeout -k 5 200 node "$here/browser.mjs"
    [ -f "$artifacts/host-page.png" ] && echo "   screenshot: $artifacts/host-page.png"
    step browser-login timeout -k 10 300 "$root/scripts/serve.sh" --port "$(free_port)" \
      --state "$state/browser-login" --login --tls "$build" -- timeout -k 5 200 node "$here/browser_login.mjs"
  else
    fail_setup "browser: npm ci failed"
  fi
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
