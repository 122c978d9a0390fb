#!/usr/bin/env bash
# Fuzzes the upload reader with libFuzzer for a while (default 60 s).
# Usage: tests/antenna/fuzz.sh [seconds] [build directory]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-60}
out=${2:-$root/build-fuzz}
mkdir -p "$out/corpus"
clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined \
  -I "$root/cgi/aerkind" -I "$root/tests/antenna" \
  "$root/tests/antenna/multipart_fuzz.cpp" "$root/cgi/aerkind/multipart.cpp" \
  -o "$out/multipart-fuzz"
# A few well-formed bodies to start from: a boundary from the header, one from the body.
printf 'multipart/form-data; boundary="b"\n--b\r\nContent-Disposition: form-data; name="n"\r\n\r\nv\r\n--b\r\nContent-Disposition: form-data; name="f"; filename="a"\r\n\r\nA\r\nB\r\n--b--\r\n' \
  > "$out/corpus/header"
printf '\npre\r\n--xy \r\n\r\nA\r\n--xy--' > "$out/corpus/sniffed"
"$out/multipart-fuzz" -max_total_time="$seconds" -max_len=9000 "$out/corpus"
