#!/usr/bin/env bash
# The host tests against a build's package instead of its install: cpack makes the archive,
# and the host serves what unpacking it on an empty root gives.
#
#   tests/host/run-package.sh BUILD_DIR
#
# run.sh and serve.sh take a build directory and install from it, so this hands them one that
# holds only what they use: an "install" that unpacks the archive, the programs as the archive
# has them (bin/NAME, for the checks that run a program directly), the daemon stand-in (a tool,
# never packaged) and the list's path from the build's settings.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd) || exit 2
programs=(tunnex ddns portvia ins credset stationmark fillmeter aersignal aerlist aerkind)

fail() {
  echo "FAIL package: $1"
  echo
  echo "0 passed, 1 failed"
  exit 1
}

work=$build/package-host
rm -rf "$work"
mkdir -p "$work/unpacked" "$work/build/bin"
(cd "$build" && cpack -G TGZ -B "$work/archive" >"$work/cpack.log" 2>&1) ||
  fail "cpack failed: $(tail -n 3 "$work/cpack.log")"
archive=$(find "$work/archive" -maxdepth 1 -name '*.tar.gz' | head -n 1)
[ -n "$archive" ] || fail "cpack wrote no archive"
echo "package: $(basename "$archive")"
tar -xzf "$archive" -C "$work/unpacked" || fail "cannot unpack $archive"
# The host serves with the project's own configuration; the device with the packaged one.
cmp -s "$work/unpacked/etc/lighttpd/lighttpd.conf" "$here/../../deploy/lighttpd.conf" ||
  fail "the archive's etc/lighttpd/lighttpd.conf is not the project's"

fake=$work/build
printf 'file(ARCHIVE_EXTRACT INPUT "%s" DESTINATION "${CMAKE_INSTALL_PREFIX}")\n' "$archive" \
  >"$fake/cmake_install.cmake"
grep '^AERKIND_LIST_PATH:' "$build/CMakeCache.txt" >"$fake/CMakeCache.txt"
ln -s "$build/bin/receiver-standin" "$fake/bin/receiver-standin"
for program in "${programs[@]}"; do
  ln -s "$work/unpacked/www/cgi-bin/$program" "$fake/bin/$program"
done

"$here/run.sh" "$fake"
