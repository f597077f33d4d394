#!/usr/bin/env bash
# No program writes to its inputs: ordinary runs of every program, with the
# options that add files (Tavisk's error file, Nembril's key file), leave the
# content, size and modification time of every input exactly as they were,
# and create no file but their results.
#   inputs_untouched.sh <modules dir>
set -u
modules=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/untouched.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

printf 'C A B\nD A X\nE C D\nF C Y\n' > ped.txt            # unordered, pruned founders
printf 'A 0 0\nB 0 0\nC A B\nD A B\nE C D\n' > stacked.txt  # parents first
printf 'L M 0\nM L 0\nN L M\n' > loop.txt                   # a loop: the error file is written
printf 'E\nD\nZ\n' > keys.txt
printf 'A0001S0001D0001\nB0002A0001     \n' > fixed.txt
inputs="ped.txt stacked.txt loop.txt keys.txt fixed.txt"
# Inputs are made read-write on purpose: a program that wrote to them could.
chmod 644 $inputs
touch -d '2001-02-03 04:05:06' $inputs
stamp() { stat -c '%n %s %Y %i' $inputs; md5sum $inputs; }
before=$(stamp)

fail=0
# run <results...> -- <program> <args...>
run() {
  local results=()
  while [ "$1" != -- ]; do results+=("$1"); shift; done
  shift
  "$modules/$@" > /dev/null 2>&1
  local status=$?
  if [ $status != 0 ]; then echo "--- $*: exit status $status"; fail=1; fi
  local now
  now=$(stamp)
  if [ "$now" != "$before" ]; then
    echo "--- $*: an input changed:"; diff <(echo "$before") <(echo "$now"); fail=1
  fi
  for r in "${results[@]}"; do
    if [ ! -f "$r" ]; then echo "--- $*: no result $r"; fail=1; fi
  done
  local extra
  extra=$(ls -A | grep -vxF -e ped.txt -e stacked.txt -e loop.txt -e keys.txt -e fixed.txt "${results[@]/#/-e}" || true)
  if [ -n "$extra" ]; then echo "--- $*: unexpected files: $extra"; fail=1; fi
  rm -f "${results[@]}"
}

run out.txt -- Quorel ped.txt out.txt
run out.txt -- Quorel -s -h ped.txt out.txt
run out.txt -- Quorel -f 1,5,6,5,11,5 fixed.txt out.txt
run out.txt Tavisk.err -- Tavisk ped.txt out.txt
run out.txt err.txt -- Tavisk -e err.txt -p 0 -D '\t' ped.txt out.txt
run out.txt err.txt -- Tavisk -e err.txt -g 0 loop.txt out.txt
run out.txt -- Nembril ped.txt keys.txt out.txt
run out.txt -- Nembril -i -n -D , stacked.txt keys.txt out.txt
run out.txt -- Nembril -f 1,5,6,5,11,5 fixed.txt keys.txt out.txt
run out.txt -- Folvane stacked.txt out.txt
run out.txt -- Folvane -c -p -e ignored.txt stacked.txt out.txt
run out.txt -- Folvane -t -D '\t' stacked.txt out.txt
[ $fail = 0 ] && echo "all inputs untouched"
exit $fail
