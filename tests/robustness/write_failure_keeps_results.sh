#!/usr/bin/env bash
# A result that can't be written whole (the disk fills up part-way) must end
# the run with an "Error" line and status 255, keep an earlier result of the
# same name byte for byte, and leave no temporary file behind. A full disk is
# made with a file size limit (ulimit -f) and SIGXFSZ ignored, so that writes
# past the limit fail with EFBIG as they would on a full disk.
#   write_failure_keeps_results.sh <modules dir>
set -u
modules=$1
source "$(dirname "$0")/results.sh"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/writefail.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

# 20000 generations: every result below is far larger than the 64 KiB limit.
seq 1 20000 | awk '{ print "g" $1, ($1 > 1 ? "g" ($1 - 1) : "0"), "0" }' > chain.txt
# Every line gives Quorel a message line.
seq 1 20000 | awk '{ print "s" $1, "s" $1, "0" }' > selfsire.txt
# A loop of 20000 animals: Tavisk's error file gets every one of them.
seq 1 20000 | awk '{ print "a" $1, "a" ($1 > 1 ? $1 - 1 : 20000), "0" }' > loop.txt
echo g20000 > keys.txt
inputs="chain.txt selfsire.txt loop.txt keys.txt"
md5sum $inputs > inputs.md5

fail=0
# full_case <name> <failing file> <result files...> -- <program> <args...>
full_case() {
  local name=$1 failing=$2; shift 2
  local results=()
  while [ "$1" != -- ]; do results+=("$1"); shift; done
  shift
  keep_earlier "${results[@]}"
  local out status
  out=$( (trap '' XFSZ; ulimit -f 64; exec "$modules/$@") 2>&1)
  status=$?
  local expected="Error: Failed to write \"$failing\" file! Nothing was written."
  if [ $status != 255 ]; then echo "--- $name: exit status $status, expected 255"; fail=1; fi
  if ! grep -qxF "$expected" <<< "$out"; then
    echo "--- $name: no line '$expected'; last lines:"; tail -3 <<< "$out"; fail=1
  fi
  check_kept "$name" failed "${results[@]}"
  local left
  left=$(ls -A | grep -E '\.tmp' || true)
  if [ -n "$left" ]; then echo "--- $name: temporary files left behind: $left"; fail=1; rm -f ./*.tmp*; fi
  [ $fail = 0 ] && echo "$name: failed cleanly, earlier result kept"
}

full_case Quorel out.txt out.txt -- Quorel selfsire.txt out.txt
full_case Tavisk_stacked out.txt out.txt err.txt -- Tavisk -g 2147483597 -e err.txt chain.txt out.txt
full_case Tavisk_error_file err.txt out.txt err.txt -- Tavisk -e err.txt loop.txt out.txt
full_case Nembril out.txt out.txt -- Nembril chain.txt keys.txt out.txt
full_case Folvane out.txt out.txt -- Folvane -c -p chain.txt out.txt
full_case Folvane_tabular out.txt out.txt -- Folvane -t chain.txt out.txt
if ! md5sum --check --quiet inputs.md5; then echo "--- an input was changed"; fail=1; fi
exit $fail
