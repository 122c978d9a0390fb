#!/usr/bin/env bash
# Starts the device's web host from a build: the programs installed as the device lays them
# out, the receiver daemon stand-in and lighttpd on a loopback port, all inside an IPC and mount
# namespace of their own, so no shared-memory record, semaphore or mount outlives it.
#
#   scripts/serve.sh [--demo] [--port N] [--state DIR] [--names LIST] [--login] [--tls]
#                    BUILD_DIR [-- COMMAND...]
#
# --demo    the stand-in keeps progress, signal quality and IMU state moving
# --port    listening port on 127.0.0.1 (default: $PORT, else 8080)
# --state   where the installed tree, the antenna list and the logs live (default: demo-state/)
# --names   further names of the device the web server answers to (HTTP_NAMES), e.g. "rx.lan"
# --login   every request needs the web login (the stand-in keeps the user file; admin/admin)
# --tls     HTTPS only, with a self-signed certificate made in DIR/tls/ (kept for later runs)
#
# Without COMMAND it prints the URL and serves until Ctrl-C or SIGTERM. With COMMAND it runs
# that inside the namespace (HOST_URL, HOST_STATE and HOST_BUILD set; with --tls also
# HOST_TLS_CERT, the certificate), stops everything and exits with the command's status.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() {
  sed -n '6,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

demo=()
port=${PORT:-8080}
state=$root/demo-state
names=
login=
tls=
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=(--demo); shift ;;
    --names) names=${2?}; shift 2 ;;
    --login) login=1; shift ;;
    --tls) tls=1; shift ;;
    --port) port=${2:?}; shift 2 ;;
    --state) state=${2:?}; shift 2 ;;
    -h|--help) usage ;;
    --) usage ;;
    -*) usage ;;
    *) break ;;
  esac
done
[ $# -ge 1 ] || usage
build=$(cd "$1" && pwd)
shift
if [ $# -gt 0 ]; then
  [ "$1" = "--" ] || usage
  shift
fi

if [ "${SERVE_IN_NAMESPACE:-}" != 1 ]; then
  if [ "$(id -u)" != 0 ]; then
    echo "serve.sh: needs root for its own IPC and mount namespace (unshare)" >&2
    exit 1
  fi
  mkdir -p "$state"
  state=$(cd "$state" && pwd)
  args=(--port "$port" --state "$state" --names "$names" "${demo[@]}" ${login:+--login} ${tls:+--tls}
        "$build")
  [ $# -gt 0 ] && args+=(-- "$@")
  exec unshare --ipc --mount --propagation private \
    env SERVE_IN_NAMESPACE=1 bash "${BASH_SOURCE[0]}" "${args[@]}"
fi

for tool in lighttpd curl ${tls:+openssl}; do
  command -v "$tool" >/dev/null || { echo "serve.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$build/bin/receiver-standin" ] || { echo "serve.sh: no $build/bin/receiver-standin; build first" >&2; exit 1; }

list_path=$(sed -n 's/^AERKIND_LIST_PATH:[A-Z]*=//p' "$build/CMakeCache.txt")
list_dir=$(dirname "${list_path:-/usrdata/aerkind.txt}")
www=$state/root/www
url=http${tls:+s}://127.0.0.1:$port/

standin_pid=
lighttpd_pid=
mounted=
created=

stop_pid() {
  local pid=$1
  [ -n "$pid" ] || return 0
  kill -TERM "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

cleanup() {
  trap - EXIT INT TERM
  stop_pid "$lighttpd_pid"
  stop_pid "$standin_pid"
  [ -z "$mounted" ] || umount "$list_dir" || true
  # Only the directories this script made, deepest first, and only while they are empty.
  if [ -n "$created" ]; then
    local dir=$list_dir
    while rmdir "$dir" 2>/dev/null && [ "$dir" != "$created" ]; do
      dir=$(dirname "$dir")
    done
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The device's layout: the pages in www/, the ten programs in www/cgi-bin/.
cmake --install "$build" --prefix "$state/root" >/dev/null

# The antenna list lives in the state directory, seen by the programs at its built-in path.
mkdir -p "$state/list"
if [ ! -d "$list_dir" ]; then
  created=$list_dir
  while [ ! -d "$(dirname "$created")" ]; do created=$(dirname "$created"); done
  mkdir -p "$list_dir"
fi
mount --bind "$state/list" "$list_dir"
mounted=1

# The user file is the daemon's to write, from the login in the record.
user_file=
standin_args=("${demo[@]}")
if [ -n "$login" ]; then
  user_file=$state/lighttpd.user
  standin_args+=(--login-file "$user_file")
fi

tls_cert=
tls_key=
if [ -n "$tls" ]; then
  tls_cert=$state/tls/cert.pem
  tls_key=$state/tls/key.pem
  if [ ! -s "$tls_cert" ] || [ ! -s "$tls_key" ]; then
    mkdir -p "$state/tls"
    (umask 077 && openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
      -keyout "$tls_key" -out "$tls_cert" -days 365 -subj "/CN=127.0.0.1" \
      -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" 2>"$state/openssl.log") ||
      { echo "serve.sh: making the certificate failed:" >&2; cat "$state/openssl.log" >&2; exit 1; }
  fi
fi

"$build/bin/receiver-standin" "${standin_args[@]}" >"$state/standin.log" 2>&1 &
standin_pid=$!
for _ in $(seq 100); do
  grep -qx ready "$state/standin.log" 2>/dev/null && break
  kill -0 "$standin_pid" 2>/dev/null || break
  sleep 0.1
done
grep -qx ready "$state/standin.log" || { echo "serve.sh: the stand-in did not start:" >&2; cat "$state/standin.log" >&2; exit 1; }

WWW_ROOT=$www HTTP_ADDR=127.0.0.1 HTTP_PORT=$port HTTP_NAMES=$names HTTP_USER_FILE=$user_file \
  HTTP_TLS_CERT=$tls_cert HTTP_TLS_KEY=$tls_key \
  lighttpd -D -f "$root/deploy/lighttpd.conf" >"$state/lighttpd.log" 2>&1 &
lighttpd_pid=$!
for _ in $(seq 100); do
  curl -sk -o /dev/null --max-time 1 "$url" && break
  kill -0 "$lighttpd_pid" 2>/dev/null || break
  sleep 0.1
done
curl -sk -o /dev/null --max-time 2 "$url" || { echo "serve.sh: lighttpd did not come up on port $port:" >&2; cat "$state/lighttpd.log" >&2; exit 1; }

if [ $# -gt 0 ]; then
  status=0
  HOST_URL=$url HOST_STATE=$state HOST_BUILD=$build HOST_TLS_CERT=$tls_cert "$@" || status=$?
  exit "$status"
fi

echo "Serving the receiver's pages at $url  (Ctrl-C stops; logs in $state)"
[ -z "$login" ] || echo "Web login: admin / admin until it is changed on the page"
[ -z "$tls" ] || echo "Self-signed certificate: $tls_cert"
echo "Watch the mailbox while clicking (as root, in another terminal; storectl --help tells more):"
echo "  nsenter --ipc --target $standin_pid $build/bin/storectl watch monitor op"
# Either one ending takes the host down with it.
wait -n "$standin_pid" "$lighttpd_pid" || true
echo "serve.sh: the stand-in or lighttpd stopped; see $state/*.log" >&2
exit 1
