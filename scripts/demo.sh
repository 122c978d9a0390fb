#!/usr/bin/env bash
# The demo: installs what is missing, builds the programs as for production, and serves the
# device's pages on http://127.0.0.1:${PORT:-8080}/ with a lively receiver daemon stand-in.
# Ctrl-C (or SIGTERM) stops it and leaves nothing behind on the host: the records, semaphores
# and mounts live in a namespace of their own, the antenna list in demo-state/.
# The host's defences are always on; serve.sh's --names, --login and --tls pass through:
#   scripts/demo.sh [--names "rx.lan"] [--login] [--tls]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ "$(id -u)" != 0 ]; then
  echo "demo.sh: run it as root (it installs packages and uses its own namespaces)" >&2
  exit 1
fi

"$root/scripts/install-deps.sh" build

build=$root/build-demo
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2

exec "$root/scripts/serve.sh" --demo --port "${PORT:-8080}" --state "$root/demo-state" "$@" "$build"
