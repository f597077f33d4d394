#!/usr/bin/env bash
# Checks bench/ancestry's counts on a pedigree small enough to count by hand.
#   tests/bench/ancestry_counts.sh path/to/ancestry
set -u
tool=${1:?usage: ancestry_counts.sh path/to/ancestry}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# S and D are half sibs (sire A); X and Y are full sibs out of S and D; Z is
# out of S and E, whose sire is unknown; T is out of X and his sister Y.
cp "$(dirname "$0")/family.ped" "$dir/ped.txt"
# Sire A: {A} = 1 of his own; his mates B and C add 2.
# Sire S: {S, A, B} = 3; his mates add D, C (through D) and E = 3.
# Sire X: {X, S, D, A, B, C} = 6; his mate Y adds Y = 1.
# Means 10 / 3 and 6 / 3 over the 3 sires: 16 column entries.
# Progeny S and D have 3 ancestors with themselves, X, Y and Z 6, T 8: 32.
cat >"$dir/expected.txt" <<'OUT'
animals 10
sires 3
progeny with both parents 6
sampled sires 3, progeny 6
mean ancestors of a sire, himself included: 3.3
mean further ancestors of his mates: 2.0
mean ancestors of an animal, itself included: 5.3
sire columns, all sires: 16 ancestor visits
ancestor lists, all progeny: 32 ancestor visits
OUT
if ! "$tool" "$dir/ped.txt" >"$dir/out.txt"; then
  echo "ancestry failed"
  exit 1
fi
grep -v '^walk rate' "$dir/out.txt" >"$dir/counts.txt"
if ! diff -u "$dir/expected.txt" "$dir/counts.txt"; then
  echo "ancestry: counts differ from the hand count"
  exit 1
fi
# A pedigree with no progeny of two known parents has nothing to count.
printf 'A 0 0\nB A 0\n' >"$dir/none.txt"
if ! "$tool" "$dir/none.txt" | grep -q '^sire columns, all sires: 0 ancestor visits$'; then
  echo "ancestry: a pedigree without sires was not counted as empty"
  exit 1
fi
# A file that cannot be read is an error, not a table of zeros.
if "$tool" "$dir/missing.txt" >/dev/null 2>"$dir/err.txt" || ! grep -q '^Error' "$dir/err.txt"; then
  echo "ancestry: a missing file was not reported"
  exit 1
fi
echo "ancestry: counts as expected"
