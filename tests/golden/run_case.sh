#!/usr/bin/env bash
# Runs one golden case: run_case.sh <modules dir> <case dir>
# Prints a diff and exits 1 on the first mismatch.
set -u
modules=$1
case_dir=$2
mapfile -t lines < "$case_dir/cmd"
program=${lines[0]}
args=("${lines[@]:1}")

# The case runs in a scratch copy of its input files.
scratch=
as_user=()  # the command that runs setup and program as another user, if any
make_scratch() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/golden.XXXXXX")
  for f in "$case_dir"/*; do
    name=$(basename "$f")
    [ "$name" = expected ] && continue
    cp -a "$f" "$scratch/"
  done
  cd "$scratch" || exit 1
  mkdir -p .orig && for f in "$case_dir"/*; do
    [ -f "$f" ] && cp -a "$f" .orig/
  done
}
remove_scratch() {
  [ -n "$scratch" ] || return 0
  cd / && chmod -R u+rwX "$scratch" 2>/dev/null
  rm -rf "$scratch"
}
trap remove_scratch EXIT
make_scratch

if [ -f setup.sh ]; then
  bash setup.sh
  status=$?
  # 77: the case can't be made here. File modes don't stop root, so a case
  # that needs an unreadable file or folder is made again and run as an
  # unprivileged user when the tests run as root; otherwise it is skipped.
  if [ $status = 77 ] && [ "$(id -u)" = 0 ] && command -v setpriv > /dev/null && id nobody > /dev/null 2>&1; then
    as_user=(setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups)
    remove_scratch
    make_scratch
    chown -R nobody "$scratch"
    if "${as_user[@]}" test -x "$modules/$program" && "${as_user[@]}" test -w .; then
      "${as_user[@]}" bash setup.sh
      status=$?
    fi
  fi
  [ $status = 77 ] && exit 77
fi

"${as_user[@]}" "$modules/$program" "${args[@]}" > .stdout 2> .stderr < /dev/null
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
