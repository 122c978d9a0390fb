# The verdict lines every host check script prints, sourced by each: one "PASS name" or
# "FAIL name: why" per check, and the count of failures for the script's exit status.
failed=0

pass() { echo "PASS $1"; }
fail() {
  echo "FAIL $1: $2"
  failed=$((failed + 1))
}
# name, what came, what must come[, why it is wrong]
same() {
  if [ "$2" = "$3" ]; then pass "$1"; else fail "$1" "${4:-got $2}"; fi
}
