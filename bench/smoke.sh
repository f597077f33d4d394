#!/usr/bin/env bash
# Smoke test of the pedigree simulator: runs pedsim at 1000 lines with each
# shape and each flaw flag and checks what the benchmarks rely on: the line
# count, the line form, parents before progeny in sorted output, identical
# bytes for identical seeds, and that --repeat-rate, --self-parent-rate,
# --unsorted, --loop, --chain, --keys, --sire-share and --stats produce what
# they say; a few checks at up to 500000 lines cover the shapes' structure.
#
# Usage: bench/smoke.sh PATH/TO/pedsim
# Ends with the line "smoke: N passed, N failed"; exit status 1 on a failure.
set -u

pedsim=${1:?usage: bench/smoke.sh PATH/TO/pedsim}
[ -x "$pedsim" ] || { echo "Error: $pedsim is not an executable" >&2; exit 2; }
pedsim=$(cd "$(dirname "$pedsim")" && pwd)/$(basename "$pedsim")
work=$(mktemp -d /tmp/pedsim-smoke.XXXXXX) || exit 2
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 2

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what" >&2
  fi
}

fails() { ! "$@"; }
between() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }

stat_value() { awk -v k="$2" '$1 == k { print $2 }' "$1"; }

lines_are() { [ "$(wc -l <"$1")" -eq "$2" ]; }

# Every line: three fields, a 12-character identifier, parents 12 characters or "0".
well_formed() {
  awk 'NF != 3 || length($1) != 12 { bad = 1 }
       ($2 != "0" && length($2) != 12) || ($3 != "0" && length($3) != 12) { bad = 1 }
       END { exit bad }' "$1"
}

# Every known parent has a line of its own earlier in the file.
parents_first() {
  awk '{ if (($2 != "0" && !($2 in seen)) || ($3 != "0" && !($3 in seen))) bad = 1; seen[$1] = 1 }
       END { exit bad }' "$1"
}

# Number of lines whose animal was already listed.
repeats() { awk 'seen[$1]++ { n++ } END { print n + 0 }' "$1"; }

# Mean and max longest ancestral path recomputed from a sorted file
# (0 without known parents, else 1 + the larger of the parents' values).
paths() {
  awk '!($1 in d) { x = 0
         if ($2 != "0" && d[$2] + 1 > x) x = d[$2] + 1
         if ($3 != "0" && d[$3] + 1 > x) x = d[$3] + 1
         d[$1] = x; s += x; n++; if (x > m) m = x }
       END { printf "%.3f %d\n", s / n, m }' "$1"
}

# Animals left when animals whose known parents are all peeled off are peeled
# off in turn: the animals on loops (and their descendants).
on_loops() {
  awk '{ a[NR] = $1; s[NR] = $2; d[NR] = $3; n = NR }
       END {
         do {
           changed = 0
           for (i = 1; i <= n; i++) {
             if (done[a[i]]) continue
             if ((s[i] == "0" || done[s[i]]) && (d[i] == "0" || done[d[i]])) { done[a[i]] = 1; changed = 1 }
           }
         } while (changed)
         for (i = 1; i <= n; i++) if (!done[a[i]]) left++
         print left + 0
       }' "$1"
}

# Longest run of consecutive lines where each line's sire is the previous animal.
longest_chain() {
  awk '{ if ($2 == prev) run++; else run = 1; if (run > m) m = run; prev = $1 } END { print m }' "$1"
}

n=1000
for shape in livestock herdbook natural deep closed; do
  "$pedsim" -n $n --shape $shape --seed 7 -o a.txt --stats a.stats
  "$pedsim" -n $n --shape $shape --seed 7 >b.txt
  "$pedsim" -n $n --shape $shape --seed 8 -o c.txt
  check "$shape: $n lines" lines_are a.txt $n
  check "$shape: well-formed lines" well_formed a.txt
  check "$shape: parents before progeny" parents_first a.txt
  check "$shape: no repeated animal" [ "$(repeats a.txt)" = 0 ]
  check "$shape: same seed gives the same bytes (file and stdout)" cmp -s a.txt b.txt
  check "$shape: another seed gives another pedigree" fails cmp -s a.txt c.txt
  check "$shape: some unknown parents" grep -q ' 0' a.txt
  check "$shape: some known parents" grep -qv ' 0 0$' a.txt
  check "$shape: stats lines" [ "$(stat_value a.stats lines)" = $n ]
  read -r mean max < <(paths a.txt)
  check "$shape: stats mean longest path ($mean)" [ "$(stat_value a.stats mean_longest_path)" = "$mean" ]
  check "$shape: stats max longest path ($max)" [ "$(stat_value a.stats max_longest_path)" = "$max" ]
  unknown=$(awk '{ u += ($2 == "0") + ($3 == "0") } END { printf "%.4f", u / (2 * NR) }' a.txt)
  check "$shape: stats unknown parent share ($unknown)" [ "$(stat_value a.stats unknown_parent_share)" = "$unknown" ]
  sires=$(awk '$2 != "0" { s[$2] = 1 } END { print length(s) }' a.txt)
  check "$shape: stats sires ($sires)" [ "$(stat_value a.stats sires)" = "$sires" ]
  dams=$(awk '$3 != "0" { s[$3] = 1 } END { print length(s) }' a.txt)
  check "$shape: stats dams ($dams)" [ "$(stat_value a.stats dams)" = "$dams" ]
  founders=$(awk '$2 == "0" && $3 == "0" { n++ } END { print n + 0 }' a.txt)
  check "$shape: stats founders ($founders)" [ "$(stat_value a.stats founders)" = "$founders" ]
done

# The livestock and herd-book bytes stay those of earlier versions (the
# benchmark figures of different versions compare only then).
check "livestock: bytes as before" [ "$("$pedsim" -n 3000 --seed 5 | cksum)" = "3457040757 108068" ]
check "herdbook: bytes as before" \
  [ "$("$pedsim" -n 3000 --seed 5 --shape herdbook | cksum)" = "3559303522 115977" ]

# Share of the animals used as sires: asked with --sire-share, reported by --stats.
near() {  # near VALUE TARGET: within 25 % of the target
  awk -v v="$1" -v t="$2" 'BEGIN { exit !(v >= 0.75 * t && v <= 1.25 * t) }'
}
for shape_arg in "herdbook 0.01" "herdbook 0.15" "natural 0.01" "natural 0.05" "natural 0.15" "deep 0.05" "closed 0.02"; do
  set -- $shape_arg
  "$pedsim" -n 30000 --shape "$1" --sire-share "$2" -o ss.txt --stats ss.stats
  got=$(stat_value ss.stats sire_share)
  check "$1 --sire-share $2: achieved $got" near "$got" "$2"
  sires=$(awk '$2 != "0" { s[$2] = 1 } END { print length(s) }' ss.txt)
  check "$1 --sire-share $2: stats sires ($sires)" [ "$(stat_value ss.stats sires)" = "$sires" ]
  check "$1 --sire-share $2: target in the stats" [ "$(stat_value ss.stats sire_share_target)" = "$2"00 ]
done
"$pedsim" -n 30000 --shape herdbook -o hb.txt
check "herdbook: --sire-share changes the pedigree" fails cmp -s hb.txt ss.txt
check "--sire-share is refused for the livestock shape" fails "$pedsim" -n 10 --sire-share 0.05 >/dev/null 2>&1
check "--sire-share out of range is refused" fails "$pedsim" -n 10 --shape natural --sire-share 0.9 >/dev/null 2>&1

# Every shape reports what the benchmark tables need, with gene dropping too.
for shape in livestock herdbook natural deep closed; do
  "$pedsim" -n 5000 --shape $shape --gene-drop 4 -o gd.txt --stats gd.stats
  for key in lines sires sire_share mean_longest_path max_longest_path gene_drop_mean_F; do
    check "$shape: stats key $key" grep -q "^$key [0-9]" gd.stats
  done
done

# The shapes' own structure, at small sizes.
units_of() { "$pedsim" -n "$2" --shape "$1" -o /dev/null --stats u.stats; stat_value u.stats units; }
check "natural: more herds for more lines" [ "$(units_of natural 20000)" -lt "$(units_of natural 100000)" ]
check "deep: more breeds for more lines" [ "$(units_of deep 100000)" -lt "$(units_of deep 500000)" ]
check "closed: more populations for more lines" [ "$(units_of closed 10000)" -lt "$(units_of closed 50000)" ]
"$pedsim" -n 50000 --shape deep -o deep.txt
read -r mean max < <(paths deep.txt)
check "deep: long ancestral paths ($mean / $max)" awk -v m="$mean" -v x="$max" 'BEGIN { exit !(m > 40 && x > 70) }'
"$pedsim" -n 5000 --shape closed -o zoo.txt --stats zoo.stats
check "closed: 10 to 20 founders per population" \
  between "$(stat_value zoo.stats founders)" 10 $((20 * $(stat_value zoo.stats units)))
# Full sibs mated, and a parent mated with its offspring.
close_matings() {
  awk '{ s[$1] = $2; d[$1] = $3 }
       $2 != "0" && $3 != "0" && s[$2] != "0" && s[$2] == s[$3] && d[$2] == d[$3] { sib++ }
       $2 != "0" && $3 != "0" && (s[$3] == $2 || d[$2] == $3) { po++ }
       END { print sib + 0, po + 0 }' "$1"
}
read -r sib po < <(close_matings zoo.txt)
check "closed: full-sib matings ($sib)" [ "$sib" -gt 0 ]
check "closed: parent-offspring matings ($po)" [ "$po" -gt 0 ]

# The flaws work with the herd shapes as well.
for shape in natural deep closed; do
  "$pedsim" -n 3000 --shape $shape --loop 5 --chain 50 --repeat-rate 0.05 -o fl.txt --stats fl.stats
  check "$shape with flaws: 3000 lines" lines_are fl.txt 3000
  check "$shape with flaws: loop" [ "$(on_loops fl.txt)" = 5 ]
  check "$shape with flaws: chain" [ "$(longest_chain fl.txt)" -ge 50 ]
  check "$shape with flaws: repeats counted" [ "$(stat_value fl.stats repeated_lines)" = "$(repeats fl.txt)" ]
  "$pedsim" -n 3000 --shape $shape --self-parent-rate 0.02 -o sp.txt --stats sp.stats
  selfs=$(awk '$1 == $2 || $1 == $3 { n++ } END { print n + 0 }' sp.txt)
  check "$shape: self parents ($selfs) counted" [ "$(stat_value sp.stats self_parents)" = "$selfs" ]
  check "$shape: self parents about 2 % ($selfs)" between "$selfs" 25 100
done

# Identifiers are distinct also at a size where the pools are large.
"$pedsim" -n 200000 -o big.txt
check "200000 lines: no repeated animal" [ "$(repeats big.txt)" = 0 ]
check "200000 lines: parents before progeny" parents_first big.txt

"$pedsim" -n $n --repeat-rate 0.1 -o r.txt --stats r.stats
"$pedsim" -n $n --repeat-rate 0.1 -o r2.txt
reps=$(repeats r.txt)
check "repeat: $n lines" lines_are r.txt $n
check "repeat: deterministic" cmp -s r.txt r2.txt
check "repeat: about 10% repeated lines ($reps)" between "$reps" 50 150
check "repeat: stats count the repeats" [ "$(stat_value r.stats repeated_lines)" = "$reps" ]
check "repeat: parents still before progeny" parents_first r.txt

"$pedsim" -n $n --self-parent-rate 0.05 -o s.txt --stats s.stats
selfs=$(awk '$1 == $2 || $1 == $3 { n++ } END { print n + 0 }' s.txt)
check "self-parent: $n lines" lines_are s.txt $n
check "self-parent: some animals are their own parent ($selfs)" between "$selfs" 20 90
check "self-parent: stats count them" [ "$(stat_value s.stats self_parents)" = "$selfs" ]

for shape in livestock herdbook natural deep closed; do
  "$pedsim" -n $n --shape $shape -o sorted.txt
  "$pedsim" -n $n --shape $shape --unsorted -o u.txt
  "$pedsim" -n $n --shape $shape --unsorted >u2.txt
  check "unsorted $shape: $n lines" lines_are u.txt $n
  check "unsorted $shape: deterministic" cmp -s u.txt u2.txt
  check "unsorted $shape: the same lines as the sorted file" cmp -s <(sort sorted.txt) <(sort u.txt)
  check "unsorted $shape: some progeny before their parents" fails parents_first u.txt
done

for len in 1 5 40; do
  "$pedsim" -n $n --loop $len -o l.txt --stats l.stats
  check "loop $len: $n lines" lines_are l.txt $n
  check "loop $len: exactly $len animals on a loop" [ "$(on_loops l.txt)" = $len ]
  check "loop $len: stats" [ "$(stat_value l.stats loop_animals)" = $len ]
done
"$pedsim" -n $n -o plain.txt
check "no loop without --loop" [ "$(on_loops plain.txt)" = 0 ]

"$pedsim" -n $n --chain 300 -o ch.txt --stats ch.stats
check "chain: $n lines" lines_are ch.txt $n
check "chain: parents before progeny" parents_first ch.txt
check "chain: 300 animals, each the sire of the next" [ "$(longest_chain ch.txt)" = 300 ]
check "chain: max longest path 299" [ "$(stat_value ch.stats max_longest_path)" = 299 ]
check "chain: first chain animal is a founder" \
  awk -v want=300 '{ if ($2 == prev) run++; else { run = 1; first = $0 } prev = $1
                     if (run == want) { split(first, f, " "); exit !(f[2] == "0" && f[3] == "0") } }' ch.txt
"$pedsim" -n 500 --chain 500 -o chall.txt
check "chain over the whole file" [ "$(longest_chain chall.txt)" = 500 ]

"$pedsim" -n $n --chain 100 --loop 10 --repeat-rate 0.05 -o mix.txt
check "chain, loop and repeats together: $n lines" lines_are mix.txt $n
check "chain, loop and repeats together: loop" [ "$(on_loops mix.txt)" = 10 ]
check "chain, loop and repeats together: chain" [ "$(longest_chain mix.txt)" -ge 100 ]

"$pedsim" -n $n -o k.txt --keys 100 --keys-out keys.txt
"$pedsim" -n $n -o k2.txt --keys 100 --keys-out keys2.txt
check "keys: the pedigree does not change with --keys" cmp -s k.txt plain.txt
"$pedsim" -n $n -o g.txt --gene-drop 8 --stats g.stats
check "gene drop: the pedigree does not change with --gene-drop" cmp -s g.txt plain.txt
check "gene drop: an estimate of mean F" grep -q '^gene_drop_mean_F 0\.[0-9]' g.stats
check "keys: 100 lines" lines_are keys.txt 100
check "keys: distinct" [ "$(sort -u keys.txt | wc -l)" -eq 100 ]
check "keys: deterministic" cmp -s keys.txt keys2.txt
check "keys: every key is an animal of the file" \
  awk 'NR == FNR { a[$1] = 1; next } !($1 in a) { bad = 1 } END { exit bad }' k.txt keys.txt
"$pedsim" -n 50 -o k3.txt --keys 100 --keys-out keys3.txt
check "keys: all animals when fewer than asked" [ "$(sort -u keys3.txt | wc -l)" -eq 50 ]

check "bad option is refused" fails "$pedsim" -n 10 --bogus >/dev/null 2>&1
check "missing -n is refused" fails "$pedsim" >/dev/null 2>&1
check "chain longer than the file is refused" fails "$pedsim" -n 10 --chain 11 >/dev/null 2>&1
check "unwritable output is reported" fails "$pedsim" -n 10 -o /nonexistent/dir/x >/dev/null 2>&1

echo "smoke: $passed passed, $failed failed"
[ "$failed" = 0 ]
