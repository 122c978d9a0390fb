#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a Debian 12 machine.
# Idempotent: packages already present are left alone, and apt is only asked when one is missing.
set -euo pipefail

native=(cmake ninja-build g++ pkg-config libjson-c-dev libgtest-dev valgrind python3
        util-linux curl lighttpd lighttpd-mod-openssl openssl)
cross=(g++-arm-linux-gnueabihf libjson-c-dev:armhf libgtest-dev:armhf qemu-user)
browser=(chromium nodejs npm)
bench=(wrk)
# Not needed by the test command: the fuzzers (libFuzzer's runtime comes apart from clang).
fuzz=(clang-14 libclang-rt-14-dev)
format=(clang-format-14)

want=("${native[@]}" "${cross[@]}")
case "${1:-all}" in
  build) ;;
  bench) want+=("${bench[@]}") ;;
  all) want+=("${browser[@]}" "${bench[@]}" "${format[@]}") ;;
  fuzz) want+=("${fuzz[@]}") ;;
  format) want=("${format[@]}") ;;
  *) echo "usage: $0 [build|bench|all|fuzz|format]" >&2; exit 2 ;;
esac

if ! dpkg --print-foreign-architectures | grep -qx armhf; then
  dpkg --add-architecture armhf
  need_update=1
fi

missing=()
for pkg in "${want[@]}"; do
  # nodejs and npm may come from elsewhere on a developer machine; a working command is enough.
  case "$pkg" in
    nodejs) command -v node >/dev/null && continue ;;
    npm) command -v npm >/dev/null && continue ;;
  esac
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
elif [ -n "${need_update:-}" ]; then
  apt-get update -qq
fi
