#!/usr/bin/env bash
# A run killed (kill -9) while it writes its result must leave an earlier
# result of the same name byte for byte as it was: the result is written to a
# temporary file beside it and renamed into place only when complete. A run
# stopped by SIGTERM, SIGHUP or SIGINT also removes its temporary files.
#   killed_mid_run.sh <modules dir>
# HALDOR_SKIP_BIG_INPUTS=1 skips it (it generates pedigrees of a million lines).
set -u
modules=$1
source "$(dirname "$0")/results.sh"
if [ -n "${HALDOR_SKIP_BIG_INPUTS:-}" ]; then echo "skipped: HALDOR_SKIP_BIG_INPUTS is set"; exit 77; fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/killed.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

# A line of descent a million generations deep (parents first, so every
# program accepts it), and for Quorel the same lines twice: a million
# "Repeated appearance" lines make its report long.
seq 1 1000000 | awk '{ print "g" $1, ($1 > 1 ? "g" ($1 - 1) : "0"), "0" }' > chain.txt
cat chain.txt chain.txt > twice.txt
echo g1000000 > keys.txt

fail=0
# kill_case <signal> <name> <result files...> -- <program> <args...>
kill_case() {
  local signal=$1 name="$2 ($1)"; shift 2
  local results=()
  while [ "$1" != -- ]; do results+=("$1"); shift; done
  shift
  local pid seen=0 attempt r
  # Wait until the run has begun writing its result (its temporary file
  # exists), then kill it. On a busy machine the run can finish its writing
  # between two looks; a run that ended on its own says nothing about a
  # killed one, so the case is run again, up to five times.
  for attempt in 1 2 3 4 5; do
    keep_earlier "${results[@]}"
    "$modules/$@" > /dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 4000); do
      if compgen -G "${results[0]}.tmp*" > /dev/null; then seen=1; break; fi
      kill -0 $pid 2> /dev/null || break
      sleep 0.005
    done
    kill -$signal $pid 2> /dev/null
    wait $pid 2> /dev/null
    [ $seen = 1 ] && break
    for r in "${results[@]}"; do rm -f "$r.before"; done
    rm -f ./*.tmp*
  done
  if [ $seen = 0 ]; then
    echo "--- $name: the run ended before it could be killed while writing, five times"
    fail=1
    return
  fi
  check_kept "$name" killed "${results[@]}"
  # A process killed with -9 can't remove its temporary file; it must only
  # never be the result itself. A stop signal leaves none. Nothing else may
  # appear.
  local left
  left=$(ls -A | grep -E '\.tmp' || true)
  if [ "$signal" != KILL ] && [ -n "$left" ]; then echo "--- $name: temporary files left behind: $left"; fail=1; fi
  local extra
  extra=$(ls -A | grep -vxE 'chain.txt|twice.txt|keys.txt|Tavisk.err|(out|err)\.txt(\.tmp.*)?' || true)
  if [ -n "$extra" ]; then echo "--- $name: unexpected files: $extra"; fail=1; fi
  rm -f ./*.tmp*
  [ $fail = 0 ] && echo "$name: earlier result kept"
}

# (A background job of a script ignores SIGINT, so SIGHUP stands for it here.)
for signal in KILL TERM HUP; do
  kill_case $signal Quorel out.txt -- Quorel twice.txt out.txt
  kill_case $signal Tavisk out.txt err.txt -- Tavisk -g 2147483597 -e err.txt chain.txt out.txt
  kill_case $signal Nembril out.txt -- Nembril chain.txt keys.txt out.txt
  kill_case $signal Folvane out.txt -- Folvane -p chain.txt out.txt
done
kill_case KILL Folvane_tabular out.txt -- Folvane -t chain.txt out.txt
exit $fail
