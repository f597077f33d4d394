#!/usr/bin/env bash
# Benchmark of the toolkit's console programs on simulated pedigrees.
#
# For each size it simulates a pedigree with pedsim into a scratch folder under
# /tmp (removed at the end), times `wc -w` on the same file as the baseline and
# then every module program that has been built, and writes a Markdown report.
# Every time is also given as a ratio to the `wc -w` time of the same file,
# measured in the same run, so figures from different machines compare.
#
# Usage: bench/run.sh [--build DIR] [--sizes "100000 1000000 10000000"]
#                     [--out bench/RESULTS.md] [--quick] [--timeout SEC] [--seed N]
#        bench/run.sh --folvane-shapes [--shapes "herdbook natural:0.05 ..."]
#                     [--sizes "1000000 10000000"] [--out bench/SHAPES.md] [...]
#   --folvane-shapes: only the Folvane scaling table over the population shapes.
set -u

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/.." && pwd)
command_line="bench/run.sh${*:+ $*}"

build="$repo/build"
sizes="100000 1000000 10000000"
out="$here/RESULTS.md"
quick=0
timeout_s=600
seed=1
shapes_mode=0
sizes_given=0
out_given=0
# Population shapes of the Folvane scaling table: NAME or NAME:SIRE_SHARE.
shapes="herdbook natural:0.01 natural:0.05 natural:0.15 deep closed"

usage() {
  sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=${2:?--build needs a folder}; shift 2 ;;
    --sizes) sizes=${2:?--sizes needs a list}; sizes_given=1; shift 2 ;;
    --out) out=${2:?--out needs a file}; out_given=1; shift 2 ;;
    --folvane-shapes) shapes_mode=1; shift ;;
    --shapes) shapes=${2:?--shapes needs a list}; shift 2 ;;
    --quick) quick=1; shift ;;
    --timeout) timeout_s=${2:?--timeout needs seconds}; shift 2 ;;
    --seed) seed=${2:?--seed needs a number}; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "Error: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
  esac
done
if [ "$shapes_mode" = 1 ]; then
  [ "$sizes_given" = 1 ] || sizes="1000000 10000000"
  [ "$out_given" = 1 ] || out="$here/SHAPES.md"
fi
[ "$quick" = 1 ] && sizes="10000 100000"
build=$(cd "$build" 2>/dev/null && pwd) || { echo "Error: build folder not found" >&2; exit 2; }
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
if [ -z "${EPOCHREALTIME:-}" ]; then
  echo "Error: bash 5 or later is needed (EPOCHREALTIME)." >&2
  exit 2
fi

gnu_time=/usr/bin/time
if ! "$gnu_time" -v true >/dev/null 2>&1; then
  echo "Error: GNU time is needed as $gnu_time (it reports the peak resident memory)." >&2
  echo "       Install it with: apt-get install time" >&2
  exit 2
fi
if ! command -v timeout >/dev/null 2>&1; then
  echo "Error: 'timeout' (coreutils) is needed." >&2
  exit 2
fi
pedsim="$build/bench/pedsim"
if [ ! -x "$pedsim" ]; then
  echo "Error: $pedsim not found; build it with: cmake --build $build --target pedsim" >&2
  exit 2
fi
# The shape table's three ancestry columns come from bench/ancestry; without it
# they are left as "-", so say so before the long run rather than after it.
ancestry_missing=0
if [ "$shapes_mode" = 1 ] && [ ! -x "$build/bench/ancestry" ]; then
  ancestry_missing=1
  echo "Note: $build/bench/ancestry not found, so the ancestry columns will be \"-\";" \
    "build it with: cmake --build $build --target ancestry" >&2
fi
for shape_arg in $shapes; do
  case "${shape_arg%%:*}" in
    livestock|herdbook|natural|deep|closed) ;;
    *) echo "Error: unknown shape '${shape_arg%%:*}' in --shapes" >&2; exit 2 ;;
  esac
done
for n in $sizes; do
  case "$n" in ''|*[!0-9]*) echo "Error: size '$n' is not a whole number" >&2; exit 2 ;; esac
done

scratch=$(mktemp -d /tmp/haldor-bench.XXXXXX) || exit 1
trap 'cd / && rm -rf "$scratch"' EXIT
# Every command runs in the scratch folder: result and error files land there.
cd "$scratch" || exit 1
report="$scratch/report.md"
: >"$report"
mods="$build/modules"

say() { echo "$*" >&2; }

# Human form of a line count: 100000 -> 10^5, 50000 -> 5*10^4.
pretty() {
  local n=$1 e=0
  while [ "$n" -ge 10 ] && [ $((n % 10)) -eq 0 ]; do n=$((n / 10)); e=$((e + 1)); done
  if [ "$e" -lt 3 ]; then echo "$1"; elif [ "$n" = 1 ]; then echo "10^$e"; else echo "$n*10^$e"; fi
}


# measure NAME CMD...: runs CMD in the scratch folder under GNU time and a
# time limit; sets m_sec, m_rss, m_rc, m_note. Console output goes to NAME.log.
measure() {
  local name=$1; shift
  local t0 t1 log="$scratch/$name.log" tv="$scratch/$name.time"
  t0=$EPOCHREALTIME
  "$gnu_time" -v -o "$tv" timeout -k 5 "$timeout_s" "$@" >"$log" 2>&1
  m_rc=$?
  t1=$EPOCHREALTIME
  t0=${t0/,/.} t1=${t1/,/.}
  m_sec=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
  m_rss=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tv" 2>/dev/null)
  [ -n "$m_rss" ] || m_rss=0
  # GNU time reports "Command exited with non-zero status N" and exits with N.
  m_note=""
  if [ "$m_rc" = 124 ] || [ "$m_rc" = 137 ]; then
    m_note="stopped after ${timeout_s} s"
  else
    local errors
    errors=$(grep -c '^Error' "$log" 2>/dev/null)
    [ "${errors:-0}" -gt 0 ] && m_note="${errors} 'Error' line(s) on the console: $(grep -m1 '^Error' "$log" | cut -c1-60)"
    if grep -q 'Loop error' "$log" 2>/dev/null; then
      m_note="${m_note:+$m_note; }console: $(grep -m1 -o 'Loop error[^.]*' "$log")"
    fi
  fi
  if [ "$m_rc" -gt 128 ] && [ "$m_rc" != 137 ] && [ "$m_rc" != 255 ]; then
    m_note="${m_note:+$m_note; }ended by signal $((m_rc - 128))"
  fi
}

# row LABEL LINES BASE_SECONDS [EXTRA...]: appends a table row from the last measure.
row() {
  local label=$1 lines=$2 base=$3; shift 3
  local ratio bpl
  ratio=$(awk -v s="$m_sec" -v b="$base" 'BEGIN { if (b > 0) printf "%.1f", s / b; else print "-" }')
  bpl=$(awk -v r="$m_rss" -v n="$lines" 'BEGIN { if (n > 0) printf "%.0f", r * 1024 / n; else print "-" }')
  local extra=""
  for x in "$@"; do extra="$extra | $x"; done
  echo "| \`$label\` | $lines | $m_sec | $ratio | $m_rss | $bpl | $m_rc$extra | $m_note |" >>"$report"
}

# baseline FILE LINES: best of three `wc -w` runs; sets base_sec and the
# measure variables for its row.
baseline() {
  local file=$1 lines=$2 best="" i
  for i in 1 2 3; do
    measure wc env LC_ALL=C wc -w "$file"
    if [ -z "$best" ] || awk -v a="$m_sec" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$m_sec; best_rss=$m_rss
    fi
  done
  m_sec=$best; m_rss=$best_rss; m_rc=0; m_note="best of 3"
  base_sec=$best
}

have() { [ -x "$mods/$1" ]; }

missing=""
for m in Quorel Tavisk Nembril Folvane; do have "$m" || missing="$missing $m"; done

# Fixed cost of one measurement (shell, GNU time, timeout, process start).
measure overhead true
overhead_sec=$m_sec

header="| command | lines | seconds | ratio to wc -w | peak RSS (KB) | bytes/line | exit |"
rule="|---|---:|---:|---:|---:|---:|---:|"

stat_value() { awk -v k="$2" '$1 == k { print $2 }' "$1"; }

# Shape scaling (--folvane-shapes): Folvane on each population shape at each
# size, on one thread (HALDOR_THREADS=1), on all cores, and with -p on all
# cores; one table row per shape and size.

# time_cell SECONDS RC: the seconds, or "> N s" when the time limit stopped it.
time_cell() {
  if [ "$2" = 124 ] || [ "$2" = 137 ]; then echo "> $timeout_s s"; else echo "$1"; fi
}
# ratio_cell SECONDS RC BASE: SECONDS / BASE, "-" when stopped or failed.
ratio_cell() {
  if [ "$2" != 0 ]; then echo "-"; return; fi
  awk -v s="$1" -v b="$3" 'BEGIN { if (b > 0) printf "%.1f", s / b; else print "-" }'
}
# bytes_cell RSS_KB LINES RC: peak RSS per animal in bytes.
bytes_cell() {
  if [ "$3" != 0 ]; then echo "-"; return; fi
  awk -v r="$1" -v n="$2" 'BEGIN { if (n > 0) printf "%.0f", r * 1024 / n; else print "-" }'
}
# add_note LABEL: adds the last measurement's exit status and note to $notes
# when it failed or printed an error.
add_note() {
  if [ "$m_rc" != 0 ] || [ -n "$m_note" ]; then
    notes="${notes:+$notes; }$1: exit $m_rc${m_note:+, $m_note}"
  fi
}
# Mean of the F column (the last one) of a Folvane result file.
mean_f() { awk '{ s += $NF } END { if (NR) printf "%.4f", s / NR; else print "-" }' "$1"; }

folvane_shapes() {
  local n shape_arg name share label st p t1 r1 b1 ta ra ba rca seca tp rp pr fmean
  {
    echo
    echo "## Folvane on the population shapes"
    echo
    echo "Shapes: \`$shapes\` (NAME:R is \`pedsim --shape NAME --sire-share R\`), seed $seed, gene dropping with 16 replicates."
    echo
    echo "| shape | lines | sires | sire share | mean LAP | max LAP | mean F gene drop | mean F Folvane |" \
      "wc -w s | 1 thread s | ratio | all cores s | ratio | -p all cores s | ratio | -p / without |" \
      "bytes/animal 1 thread | bytes/animal all cores | ancestors a sire | mates' further | column visits |" \
      "notes |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
  } >>"$report"
  for n in $sizes; do
    p=$(pretty "$n")
    for shape_arg in $shapes; do
      name=${shape_arg%%:*}
      share=""
      [ "$shape_arg" != "$name" ] && share=${shape_arg#*:}
      label=$name${share:+ $share}
      st="$scratch/shape.stats"
      say "== $label at $p"
      if ! "$pedsim" -n "$n" --seed "$seed" --shape "$name" ${share:+--sire-share "$share"} \
        --gene-drop 16 -o "$scratch/shape.txt" --stats "$st"; then
        say "Error: pedsim failed for $shape_arg at $n lines"
        exit 1
      fi
      baseline shape.txt "$n"
      notes=""
      fmean="-"
      anc_own="-" anc_more="-" anc_visits="-"
      if [ -x "$build/bench/ancestry" ] && "$build/bench/ancestry" "$scratch/shape.txt" >"$scratch/ancestry.txt"; then
        anc_own=$(awk -F': ' '/^mean ancestors of a sire/ { print $2 }' "$scratch/ancestry.txt")
        anc_more=$(awk -F': ' '/^mean further ancestors/ { print $2 }' "$scratch/ancestry.txt")
        anc_visits=$(awk -F': ' '/^sire columns/ { sub(/ ancestor visits/, "", $2); print $2 }' "$scratch/ancestry.txt")
      fi

      say "   Folvane, one thread"
      measure shape_1 env HALDOR_THREADS=1 "$mods/Folvane" shape.txt out.txt
      t1=$(time_cell "$m_sec" "$m_rc") r1=$(ratio_cell "$m_sec" "$m_rc" "$base_sec")
      b1=$(bytes_cell "$m_rss" "$n" "$m_rc")
      add_note "1 thread"
      [ "$m_rc" = 0 ] && [ -s out.txt ] && fmean=$(mean_f out.txt)

      say "   Folvane, all cores"
      measure shape_all env -u HALDOR_THREADS "$mods/Folvane" shape.txt out.txt
      ta=$(time_cell "$m_sec" "$m_rc") ra=$(ratio_cell "$m_sec" "$m_rc" "$base_sec")
      ba=$(bytes_cell "$m_rss" "$n" "$m_rc") rca=$m_rc seca=$m_sec
      add_note "all cores"
      [ "$fmean" = "-" ] && [ "$rca" = 0 ] && [ -s out.txt ] && fmean=$(mean_f out.txt)

      say "   Folvane -p, all cores"
      measure shape_p env -u HALDOR_THREADS "$mods/Folvane" -p shape.txt out.txt
      tp=$(time_cell "$m_sec" "$m_rc") rp=$(ratio_cell "$m_sec" "$m_rc" "$base_sec")
      add_note "-p"
      if [ "$m_rc" = 0 ] && [ "$rca" = 0 ]; then
        pr=$(awk -v a="$m_sec" -v b="$seca" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')
      else
        pr="-"
      fi

      echo "| $label | $p | $(stat_value "$st" sires) | $(stat_value "$st" sire_share) |" \
        "$(stat_value "$st" mean_longest_path) | $(stat_value "$st" max_longest_path) |" \
        "$(stat_value "$st" gene_drop_mean_F) | $fmean | $base_sec | $t1 | $r1 | $ta | $ra |" \
        "$tp | $rp | $pr | $b1 | $ba | $anc_own | $anc_more | $anc_visits | $notes |" >>"$report"
      rm -f "$scratch/shape.txt" "$scratch/out.txt" "$scratch/ancestry.txt"
    done
  done
  {
    echo
    echo "Columns: sires = animals with progeny as sire, sire share = sires / lines, LAP = longest"
    echo "ancestral path (from \`pedsim --stats\`); mean F gene drop = pedsim's gene-dropping estimate"
    echo "(16 replicates), mean F Folvane = mean of the F column of Folvane's result file; seconds are"
    echo "wall time (\`wc -w\`: best of 3), ratio = seconds / \`wc -w\` seconds on the same file in this"
    echo "run; -p / without = seconds of \`Folvane -p\` / seconds of \`Folvane\`, both on all cores;"
    echo "bytes/animal = peak RSS (GNU time) / lines. \"> N s\": stopped by the time limit."
    echo "ancestors a sire, mates' further, column visits (from \`bench/ancestry\`, a sample of 2000"
    echo "sires): the mean number of ancestors of a sire with himself, the mean number of his mates'"
    echo "ancestors (with themselves) not among his, and their sum times the number of sires: the"
    echo "entries of the sires' relationship columns over those ancestors, which the indirect method reaches."
    if [ "$ancestry_missing" = 1 ]; then
      echo
      echo "bench/ancestry was not built for this run, so its three columns are \"-\"."
    fi
  } >>"$report"
}

write_report() {
  cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null)
  commit=$(git -C "$repo" describe --always --dirty 2>/dev/null || echo unknown)
  mkdir -p "$(dirname "$out")"
  {
    echo "# Benchmark results"
    echo
    echo "Produced by: \`$command_line\`"
    echo
    echo "$(date -u '+%Y-%m-%d %H:%M UTC'), commit $commit, $(nproc) cores, ${cpu:-unknown CPU}," \
      "time limit ${timeout_s} s per command."
    case "$commit" in *-dirty)
      echo
      echo "The programs were built from a work tree with uncommitted changes (\"-dirty\")." ;;
    esac
    if [ -n "$missing" ] && [ "$shapes_mode" = 0 ]; then
      echo
      echo "Not built, skipped:$missing."
    fi
    echo
    [ "$shapes_mode" = 0 ] && echo "Columns: seconds = wall time; ratio = seconds / seconds of \`wc -w\` on the same file in this run;"
    [ "$shapes_mode" = 0 ] && echo "peak RSS = maximum resident set size reported by GNU time; bytes/line = peak RSS / lines;"
    [ "$shapes_mode" = 0 ] && echo "exit = exit status (255 is the modules' status -1). See bench/README.md."
    echo "Each time includes a fixed measurement cost of about ${overhead_sec} s (timing \`true\`)."
    cat "$report"
  } >"$out"
  say "Results written to $out"
}

if [ "$shapes_mode" = 1 ]; then
  if ! have Folvane; then
    echo "Error: $mods/Folvane not found; build it with: cmake --build $build --target Folvane" >&2
    exit 2
  fi
  folvane_shapes
  write_report
  exit 0
fi

for n in $sizes; do
  p=$(pretty "$n")
  say "== size $p"
  ped="ped_$n.txt"
  keys_n=$((n < 100000 ? n : 100000))
  measure pedsim "$pedsim" -n "$n" --seed "$seed" -o "$ped" --stats "ped_$n.stats" \
    --keys "$keys_n" --keys-out "keys_$n.txt"
  gen_sec=$m_sec gen_rss=$m_rss gen_rc=$m_rc
  if [ "$gen_rc" != 0 ]; then say "Error: pedsim failed for size $n"; exit 1; fi
  st="$scratch/ped_$n.stats"
  {
    echo
    echo "## $p lines (livestock shape)"
    echo
    echo "Pedigree: $(stat_value "$st" lines) lines, unknown parents $(stat_value "$st" unknown_parent_share)," \
      "$(stat_value "$st" sires) sires, mean / max longest ancestral path" \
      "$(stat_value "$st" mean_longest_path) / $(stat_value "$st" max_longest_path)," \
      "$(du -k "$scratch/$ped" | cut -f1) KB."
    echo
    echo "$header notes |"
    echo "$rule---|"
  } >>"$report"

  baseline "$ped" "$n"
  row "wc -w ped" "$n" "$base_sec"
  m_sec=$gen_sec m_rss=$gen_rss m_rc=$gen_rc m_note="simulating the file"
  row "pedsim -n $p" "$n" "$base_sec"

  if have Quorel; then
    say "   Quorel"; measure quorel "$mods/Quorel" "$ped" out.txt
    row "Quorel ped out.txt" "$n" "$base_sec"
  fi
  if have Tavisk; then
    say "   Tavisk"; measure tavisk "$mods/Tavisk" "$ped" out.txt
    row "Tavisk ped out.txt" "$n" "$base_sec"
    loop_ped="ped_${n}_loop.txt"
    if "$pedsim" -n "$n" --seed "$seed" --loop 10 -o "$scratch/$loop_ped"; then
      say "   Tavisk (loop)"; measure tavisk_loop "$mods/Tavisk" "$loop_ped" out.txt
      row "Tavisk ped_loop out.txt" "$n" "$base_sec"
      rm -f "$scratch/$loop_ped"
    fi
    # The same lines in shuffled blocks: progeny often before their parents.
    mixed_ped="ped_${n}_unsorted.txt"
    if "$pedsim" -n "$n" --seed "$seed" --unsorted -o "$scratch/$mixed_ped"; then
      say "   Tavisk (unsorted)"; measure tavisk_unsorted "$mods/Tavisk" "$mixed_ped" out.txt
      row "Tavisk ped_unsorted out.txt" "$n" "$base_sec"
      rm -f "$scratch/$mixed_ped"
    fi
  fi
  if have Nembril; then
    say "   Nembril"; measure nembril "$mods/Nembril" "$ped" "keys_$n.txt" out.txt
    m_note="${m_note:+$m_note; }$keys_n keys"
    row "Nembril ped keys out.txt" "$n" "$base_sec"
  fi
  if have Folvane; then
    say "   Folvane"; measure folvane "$mods/Folvane" "$ped" out.txt
    row "Folvane ped out.txt" "$n" "$base_sec"
    say "   Folvane -p"; measure folvane_p "$mods/Folvane" -p "$ped" out.txt
    row "Folvane -p ped out.txt" "$n" "$base_sec"
  fi
  rm -f "$scratch/$ped" "$scratch/out.txt" "$scratch/keys_$n.txt"
done

# Tabular method: quadratic in the ancestry, so only on small pedigrees.
if have Folvane; then
  {
    echo
    echo "## Folvane -t (tabular method, small pedigrees only)"
    echo
    echo "$header notes |"
    echo "$rule---|"
  } >>"$report"
  for n in 10000 50000; do
    p=$(pretty "$n")
    say "== Folvane -t at $p"
    ped="tab_$n.txt"
    "$pedsim" -n "$n" --seed "$seed" -o "$scratch/$ped" || exit 1
    baseline "$ped" "$n"
    row "wc -w ped ($p)" "$n" "$base_sec"
    measure folvane_t "$mods/Folvane" -t "$ped" out.txt
    row "Folvane -t ped out.txt" "$n" "$base_sec"
    rm -f "$scratch/$ped" "$scratch/out.txt"
  done
fi

# Herd-book pedigrees: deep, with many paths per animal; the stress case of
# the inbreeding program. Mean and max F are taken from Folvane's result file
# (F is its last column); pedsim's gene-dropping estimate is given beside it.
hb_sizes=""
if [ "$quick" = 1 ]; then
  hb_sizes=100000
else
  hb_sizes=1000000
  for n in $sizes; do [ "$n" = 10000000 ] && hb_sizes="$hb_sizes 10000000"; done
fi
if have Folvane; then
  {
    echo
    echo "## Folvane on herd-book pedigrees (--shape herdbook)"
    echo
    echo "$header mean longest path | max longest path | mean F | max F | pedsim mean F estimate | notes |"
    echo "$rule---:|---:|---:|---:|---:|---|"
  } >>"$report"
  for n in $hb_sizes; do
    p=$(pretty "$n")
    say "== herdbook $p"
    ped="hb_$n.txt"
    "$pedsim" -n "$n" --seed "$seed" --shape herdbook --gene-drop 16 -o "$scratch/$ped" \
      --stats "$scratch/hb_$n.stats" || exit 1
    st="$scratch/hb_$n.stats"
    baseline "$ped" "$n"
    row "wc -w ped" "$n" "$base_sec" "" "" "" "" ""
    measure folvane_hb "$mods/Folvane" "$ped" out.txt
    if [ "$m_rc" = 0 ] && [ -s "$scratch/out.txt" ]; then
      fstat=$(awk '{ s += $NF; if (NR == 1 || $NF > m) m = $NF } END { if (NR) printf "%.4f %.4f", s / NR, m }' "$scratch/out.txt")
    else
      fstat="- -"
    fi
    row "Folvane ped out.txt" "$n" "$base_sec" "$(stat_value "$st" mean_longest_path)" \
      "$(stat_value "$st" max_longest_path)" ${fstat} "$(stat_value "$st" gene_drop_mean_F)"
    # The same on one thread: the batches of a round otherwise share all cores.
    measure folvane_hb1 env HALDOR_THREADS=1 "$mods/Folvane" "$ped" out.txt
    row "HALDOR_THREADS=1 Folvane ped out.txt" "$n" "$base_sec" "" "" "" "" ""
    rm -f "$scratch/$ped" "$scratch/out.txt"
  done
fi

write_report
