#!/usr/bin/env bash
# Replays the committed regression corpus through every fuzz target, then
# fuzzes each target for a fixed time from the seeds and that corpus.
#
#   fuzz/run.sh <build-dir> [seconds-per-target] [target...]
#
# Any crash, leak, time-out or sanitizer report ends the script with a
# failure; the input that caused it is saved in <build-dir>/fuzz/findings/.
# One line per target gives its time and number of runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:?usage: run.sh <build-dir> [seconds] [target...]}" && pwd)"
seconds="${2:-60}"
shift $(($# >= 2 ? 2 : $#))
targets=("$@")
((${#targets[@]})) || targets=(dtoken_fuzz ftoken_fuzz columns_fuzz escape_fuzz quorel_fuzz tavisk_fuzz nembril_fuzz folvane_fuzz)

work="$build/fuzz/work"
findings="$build/fuzz/findings"
rm -rf "$work"
mkdir -p "$work" "$findings"
bash "$root/fuzz/seeds.sh" "$work/seeds" >/dev/null

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  bin="$build/fuzz/$t"
  regress="$root/fuzz/regressions/$t"
  mkdir -p "$work/$t"
  # The regression corpus first: every input in it must run clean.
  if [[ -d "$regress" ]] && compgen -G "$regress/*" >/dev/null; then
    if ! "$bin" -runs=0 -rss_limit_mb=2048 -timeout=20 "$regress"/* >"$work/$t.replay.log" 2>&1; then
      echo "$t: regression corpus FAILED (see $work/$t.replay.log)"
      tail -40 "$work/$t.replay.log"
      status=1
      continue
    fi
  fi
  dirs=("$work/$t" "$work/seeds/$t")
  [[ -d "$regress" ]] && dirs+=("$regress")
  if "$bin" -max_total_time="$seconds" -max_len=8192 -rss_limit_mb=2048 -timeout=20 \
      -dict="$root/fuzz/options.dict" -artifact_prefix="$findings/$t-" -print_final_stats=1 \
      "${dirs[@]}" >"$work/$t.log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$t.log")"
    echo "$t: ${seconds} s, ${runs:-?} runs, no findings"
  else
    echo "$t: FAILED (see $work/$t.log)"
    grep -m1 -A40 -E "ERROR|runtime error|invariant broken|Timeout|out-of-memory" "$work/$t.log" || tail -40 "$work/$t.log"
    status=1
  fi
done
exit "$status"
