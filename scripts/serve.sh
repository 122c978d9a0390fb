#!/usr/bin/env bash
# Starts the device's web host from a build: the programs installed as the device lays them
# out, the receiver daemon stand-in and lighttpd on a loopback port, all inside an IPC and mount
# namespace of their own, so no shared-memory record, semaphore or mount outlives it.
#
#   scripts/serve.sh [--demo] [--port N] [--state DIR] BUILD_DIR [-- COMMAND...]
#
# --demo    the stand-in keeps progress, signal quality and IMU state moving
# --port    listening port on 127.0.0.1 (default: $PORT, else 8080)
# --state   where the installed tree, the antenna list and the logs live (default: demo-state/)
#
# Without COMMAND it prints the URL and serves until Ctrl-C or SIGTERM. With COMMAND it runs
# that inside the namespace (HOST_URL, HOST_STATE and HOST_BUILD set), stops everything and
# exits with the command's status.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

usage() {
  sed -n '6,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

demo=()
port=${PORT:-8080}
state=$root/demo-state
while [ $# -gt 0 ]; do
  case "$1" in
    --demo) demo=(--demo); shift ;;
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
  args=(--port "$port" --state "$state" "${demo[@]}" "$build")
  [ $# -gt 0 ] && args+=(-- "$@")
  exec unshare --ipc --mount --propagation private \
    env SERVE_IN_NAMESPACE=1 bash "${BASH_SOURCE[0]}" "${args[@]}"
fi

for tool in lighttpd curl; do
  command -v "$tool" >/dev/null || { echo "serve.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$build/bin/receiver-standin" ] || { echo "serve.sh: no $build/bin/receiver-standin; build first" >&2; exit 1; }

list_path=$(sed -n 's/^AERKIND_LIST_PATH:[A-Z]*=//p' "$build/CMakeCache.txt")
list_dir=$(dirname "${list_path:-/usrdata/aerkind.txt}")
www=$state/root/www
url=http://127.0.0.1:$port/

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

"$build/bin/receiver-standin" "${demo[@]}" >"$state/standin.log" 2>&1 &
standin_pid=$!
for _ in $(seq 100); do
  grep -qx ready "$state/standin.log" 2>/dev/null && break
  kill -0 "$standin_pid" 2>/dev/null || break
  sleep 0.1
done
grep -qx ready "$state/standin.log" || { echo "serve.sh: the stand-in did not start:" >&2; cat "$state/standin.log" >&2; exit 1; }

WWW_ROOT=$www HTTP_ADDR=127.0.0.1 HTTP_PORT=$port \
  lighttpd -D -f "$root/deploy/lighttpd.conf" >"$state/lighttpd.log" 2>&1 &
lighttpd_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null --max-time 1 "$url" && break
  kill -0 "$lighttpd_pid" 2>/dev/null || break
  sleep 0.1
done
curl -s -o /dev/null --max-time 2 "$url" || { echo "serve.sh: lighttpd did not come up on port $port:" >&2; cat "$state/lighttpd.log" >&2; exit 1; }

if [ $# -gt 0 ]; then
  status=0
  HOST_URL=$url HOST_STATE=$state HOST_BUILD=$build "$@" || status=$?
  exit "$status"
fi

echo "Serving the receiver's pages at $url  (Ctrl-C stops; logs in $state)"
echo "Watch the mailbox while clicking (as root, in another terminal; storectl --help tells more):"
echo "  nsenter --ipc --target $standin_pid $build/bin/storectl watch monitor op"
# Either one ending takes the host down with it.
wait -n "$standin_pid" "$lighttpd_pid" || true
echo "serve.sh: the stand-in or lighttpd stopped; see $state/*.log" >&2
exit 1
