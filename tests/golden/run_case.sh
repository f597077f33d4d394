#!/usr/bin/env bash
# Runs one golden case: run_case.sh <modules dir> <case dir>
# Prints a diff and exits 1 on the first mismatch.
set -u
modules=$1
case_dir=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/golden.XXXXXX")
trap 'chmod -R u+rwX "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT

for f in "$case_dir"/*; do
  name=$(basename "$f")
  [ "$name" = expected ] && continue
  cp -a "$f" "$scratch/"
done
cd "$scratch" || exit 1
mkdir -p .orig && for f in "$case_dir"/*; do
  [ -f "$f" ] && cp -a "$f" .orig/
done

mapfile -t lines < "$case_dir/cmd"
program=${lines[0]}
args=("${lines[@]:1}")
if [ -f setup.sh ]; then
  bash setup.sh
  # 77: the case can't be made here (say, file modes don't stop root); skipped.
  [ $? = 77 ] && exit 77
fi

"$modules/$program" "${args[@]}" > .stdout 2> .stderr < /dev/null
status=$?
fail=0

if ! cmp -s .stdout "$case_dir/expected/stdout"; then
  echo "--- stdout differs (expected vs actual):"
  diff -a "$case_dir/expected/stdout" .stdout | head -40
  fail=1
fi
if [ -s .stderr ]; then
  echo "--- unexpected standard error output:"
  head -20 .stderr
  fail=1
fi
expected_status=$(cat "$case_dir/expected/status")
if [ "$status" != "$expected_status" ]; then
  echo "--- exit status $status, expected $expected_status"
  fail=1
fi
if [ -d "$case_dir/expected/files" ]; then
  for f in "$case_dir"/expected/files/*; do
    name=$(basename "$f")
    if [ ! -f "$name" ]; then
      echo "--- missing result file $name"
      fail=1
    elif ! cmp -s "$name" "$f"; then
      echo "--- $name differs (expected vs actual):"
      diff -a "$f" "$name" | head -40
      fail=1
    fi
  done
fi
if [ -f "$case_dir/expected/absent" ]; then
  while IFS= read -r name; do
    [ -z "$name" ] && continue
    if [ -e "$name" ]; then echo "--- $name should not exist"; fail=1; fi
  done < "$case_dir/expected/absent"
fi
if [ -f "$case_dir/expected/unchanged" ]; then
  while IFS= read -r name; do
    [ -z "$name" ] && continue
    if ! cmp -s "$name" ".orig/$name"; then echo "--- input $name was changed"; fail=1; fi
  done < "$case_dir/expected/unchanged"
fi
if [ -f "$case_dir/expected/check.sh" ] && ! bash "$case_dir/expected/check.sh"; then
  echo "--- expected/check.sh failed"
  fail=1
fi
leftovers=$(ls -A | grep -vE '^(\.stdout|\.stderr|\.orig)$' | grep -E '\.tmp' || true)
if [ -n "$leftovers" ]; then echo "--- temporary files left behind: $leftovers"; fail=1; fi
exit $fail
