#!/usr/bin/env bash
# Checks bench/folvane_passes, Folvane built to report its batches: the same
# result file and console output as Folvane, and counts that can be followed
# by hand on a small pedigree (bench/README.md quotes them).
#   tests/bench/folvane_passes.sh path/to/Folvane path/to/folvane_passes source-folder
set -u
usage="usage: folvane_passes.sh Folvane folvane_passes source-folder"
folvane=${1:?$usage}
passes=${2:?$usage}
source=${3:?$usage}
examples=$source/examples
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# S and D are half sibs (sire A); X and Y are full sibs out of S and D; Z is
# out of S and E, whose sire is unknown; T is out of X and his sister Y.
cp "$(dirname "$0")/family.ped" "$dir/small.ped"
# Sires A and S share the first batch (S's parents are founders); X comes
# after them, since his D needs the F of his parents, progeny of A.
#   side: A, S and B, then X and his five ancestors: 9 animals; the core
#   indices (parents first, from the youngest sire) are A 1, B 2, S 3, C 4,
#   D 5, X 6, so the side scans pass over 3 and 6 indices;
#   needed off the side, first batch: the dams C and D (lines of D, Y, X and
#   Z), spanning D down to A, the oldest of the side (5 indices); C, a
#   founder, has w = 0 and no row;
#   line links: E's unknown sire (Z's dam), Y's sire S (T's dam);
#   matings: S, D, X, Y, Z and T.
expected="Batch counts: batches 2; side animals 9; side span 9; needed animals 2; needed span 5; needed rows 1; line links 2; matings 6"

for ped in "$dir/small.ped" "$examples/herd.ped" "$examples/sibs.ped"; do
  name=$(basename "$ped")
  mkdir -p "$dir/a" "$dir/b"
  (cd "$dir/a" && HALDOR_THREADS=1 "$folvane" "$ped" out.txt >console.txt 2>err.txt; echo $? >rc.txt)
  (cd "$dir/b" && HALDOR_THREADS=1 "$passes" "$ped" out.txt >console.txt 2>err.txt; echo $? >rc.txt)
  for f in out.txt console.txt rc.txt; do
    cmp -s "$dir/a/$f" "$dir/b/$f" || fail "$name: $f differs from Folvane's"
  done
  [ "$(cat "$dir/a/rc.txt")" = 0 ] || fail "$name: Folvane exited with $(cat "$dir/a/rc.txt")"
  [ -s "$dir/a/err.txt" ] && fail "$name: Folvane wrote to the standard error"
  grep -q '^Batch passes, seconds summed over threads: side scan [0-9.]*; up (t) [0-9.]*; side w [0-9.]*; lines [0-9.]*; needed scan [0-9.]*; needed w [0-9.]*; terms [0-9.]*; all [0-9.]*$' \
    "$dir/b/err.txt" || fail "$name: no pass times: $(head -c 300 "$dir/b/err.txt")"
  if [ "$name" = small.ped ]; then
    counts=$(grep '^Batch counts' "$dir/b/err.txt")
    [ "$counts" = "$expected" ] || fail "small.ped: counts '$counts', expected '$expected'"
  fi
  rm -rf "$dir/a" "$dir/b"
done
grep -qxF "    $expected" "$source/bench/README.md" || fail "bench/README.md does not quote the counts of small.ped"
[ "$failed" = 0 ] && echo "folvane_passes: all checks passed"
exit "$failed"
