#!/usr/bin/env bash
# Checks that every tracked C and C++ file is formatted as .clang-format says; names the files
# that are not (clang-format-14 -i FILE formats one) and fails when there are any.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh" format

total=0
unformatted=0
while IFS= read -r -d '' file; do
  total=$((total + 1))
  if ! clang-format-14 --dry-run -Werror "$file" >/dev/null 2>&1; then
    echo "not formatted: $file"
    unformatted=$((unformatted + 1))
  fi
done < <(git ls-files -z '*.c' '*.cpp' '*.h')

echo "$unformatted of $total files not formatted"
[ "$unformatted" -eq 0 ]
