#!/usr/bin/env bash
# Cost of Quorel's loop report: `Quorel` against `Quorel -l` on the same file,
# best of N runs each, with the peak resident memory (GNU time). Pedigrees:
# pedsim's livestock shape at each size (no loop), the same with one loop of
# 10 animals, one loop through 10^6 animals (listed progeny first, so the
# search runs a million records deep) and 10^5 separate two-animal loops.
# Targets: -l at most 1.5 times the time without it and at most 120 bytes of
# peak memory per line.
#
# Usage: bench/loops.sh [--build DIR] [--sizes "1000000 10000000"] [--repeat N]
#                       [--out FILE]
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
command_line="bench/loops.sh${*:+ $*}"
build="$repo/build"
sizes="1000000 10000000"
repeat=3
out="$here/RESULTS_loops.md"

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --sizes) sizes=${2:?--sizes needs a list}; shift 2 ;;
    --repeat) repeat=${2:?--repeat needs a number}; shift 2 ;;
    --out) out=${2:?--out needs a file}; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "Error: unknown argument '$1'" >&2; exit 2 ;;
  esac
done
build=$(cd "$build" 2>/dev/null && pwd) || { echo "Error: build folder not found" >&2; exit 2; }
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
quorel="$build/modules/Quorel"
pedsim="$build/bench/pedsim"
for p in "$quorel" "$pedsim"; do
  [ -x "$p" ] || { echo "Error: $p not found (build Quorel and pedsim)" >&2; exit 2; }
done
/usr/bin/time -v true >/dev/null 2>&1 || { echo "Error: GNU time is needed as /usr/bin/time" >&2; exit 2; }

scratch=$(mktemp -d /tmp/haldor-loops.XXXXXX) || exit 1
trap 'cd / && rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
rows="$scratch/rows.md"
: >"$rows"

# best LINES CMD...: best wall time of $repeat runs (sets b_sec, b_rss, b_tail).
best() {
  local lines=$1; shift
  local i t0 t1 sec rss
  b_sec="" b_rss=0
  for ((i = 0; i < repeat; i++)); do
    t0=$EPOCHREALTIME
    /usr/bin/time -v -o time.txt "$@" >console.txt 2>&1
    t1=$EPOCHREALTIME
    sec=$(awk -v a="${t0/,/.}" -v b="${t1/,/.}" 'BEGIN { printf "%.3f", b - a }')
    rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.txt)
    if [ -z "$b_sec" ] || awk -v a="$sec" -v b="$b_sec" 'BEGIN { exit !(a < b) }'; then b_sec=$sec; fi
    [ "$rss" -gt "$b_rss" ] && b_rss=$rss
  done
  b_tail=$(grep -m1 'Number of pedigree loops' console.txt || true)
}

# compare LABEL FILE LINES: one table row for Quorel and Quorel -l on FILE.
compare() {
  local label=$1 file=$2 lines=$3
  echo "   $label" >&2
  best "$lines" "$quorel" "$file" out.txt
  local s0=$b_sec r0=$b_rss
  best "$lines" "$quorel" -l "$file" out.txt
  local s1=$b_sec r1=$b_rss
  awk -v l="$label" -v n="$lines" -v s0="$s0" -v s1="$s1" -v r0="$r0" -v r1="$r1" -v t="$b_tail" 'BEGIN {
    printf "| %s | %d | %.3f | %.3f | %.2f | %d | %d | %.0f | %.0f | %s |\n",
      l, n, s0, s1, s1 / s0, r0, r1, r0 * 1024 / n, r1 * 1024 / n, t }' >>"$rows"
}

for n in $sizes; do
  echo "== $n lines" >&2
  "$pedsim" -n "$n" --seed 1 -o ped.txt || exit 1
  compare "livestock, no loop" ped.txt "$n"
  "$pedsim" -n "$n" --seed 1 --loop 10 -o ped.txt || exit 1
  compare "livestock, one loop of 10" ped.txt "$n"
  rm -f ped.txt out.txt
done
echo "== special shapes" >&2
seq 1 1000000 | awk '{ print "a" $1, "a" ($1 > 1 ? $1 - 1 : 1000000), "0" }' > big_loop.txt
compare "one loop of 10^6 animals" big_loop.txt 1000000
seq 1 100000 | awk '{ print "p" $1, "0", "q" $1; print "q" $1, "p" $1, "0" }' > pairs.txt
compare "10^5 loops of 2 animals" pairs.txt 200000

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null)
commit=$(git -C "$repo" describe --always --dirty 2>/dev/null || echo unknown)
{
  echo "# Quorel -l: cost of the loop report"
  echo
  echo "Produced by: \`$command_line\`"
  echo
  echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $commit, $(nproc) cores, ${cpu:-unknown CPU}; best of $repeat runs."
  echo
  echo "seconds = wall time; ratio = seconds with -l / seconds without; RSS = peak resident set size (GNU time);"
  echo "bytes/line = peak RSS / lines. Targets: ratio at most 1.5, at most 120 bytes/line with -l."
  echo
  echo "| pedigree | lines | seconds | seconds -l | ratio | RSS KB | RSS KB -l | bytes/line | bytes/line -l | console with -l |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  cat "$rows"
} >"$out"
echo "Results written to $out" >&2
