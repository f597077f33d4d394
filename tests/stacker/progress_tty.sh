#!/usr/bin/env bash
# The progress line on a terminal: Tavisk stacks a large simulated pedigree
# once with its console on a pseudo-terminal and once into files. Standard
# error stays empty when it is a file, and once every progress line is
# rendered the way a terminal renders it (backspaces), the terminal shows
# exactly the console output of the plain run.
# Usage: progress_tty.sh <Tavisk> <pedsim> <lines>
set -euo pipefail
tavisk=$1 pedsim=$2 lines=$3
command -v script > /dev/null || { echo "script(1) missing: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$pedsim" -n "$lines" -o ped.txt

"$tavisk" ped.txt out.txt > plain.out 2> plain.err
if [ -s plain.err ]; then
  echo "standard error not empty without a terminal:"; head -c 300 plain.err | od -c | head; exit 1
fi
mv out.txt plain_result.txt

script -q -e -c "'$tavisk' ped.txt out.txt" typescript > /dev/null
cmp plain_result.txt out.txt
# The session's own header and trailer lines, the terminal's carriage
# returns, then every character a backspace takes back, and the blank line
# the session writes before its trailer.
grep -v '^Script \(started\|done\)' typescript | tr -d '\r' \
  | perl -pe '1 while s/[^\x08\n]\x08//' | sed '$ { /^$/d }' > shown.out
if ! cmp -s plain.out shown.out; then
  echo "the terminal shows something else than the plain run:"; diff plain.out shown.out | head -20 | cat -A; exit 1
fi
if grep -q '\[reading [0-9]*%\]' typescript; then
  echo "progress shown and erased"
else
  echo "no phase took a second on this machine: nothing was shown"
fi
