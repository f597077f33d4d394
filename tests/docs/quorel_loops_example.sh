#!/usr/bin/env bash
# The "Pedigree loops" example of README.md and help/Quorel_help.htm comes from
# a real run: runs Quorel -l on examples/loops.ped and compares the report's
# section, and the input shown, with the blocks between the pages'
# <!-- quorel-loops-report --> and <!-- quorel-loops-input --> markers.
# Usage: quorel_loops_example.sh <Quorel program> <source folder>
set -u
quorel=$1
src=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/loops_example.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail=0

"$quorel" -l "$src/examples/loops.ped" "$scratch/report.txt" > "$scratch/console.txt"
sed -n '/^Pedigree loops$/,$p' "$scratch/report.txt" > "$scratch/section.txt"
if [ ! -s "$scratch/section.txt" ]; then echo "--- no Pedigree loops section in the report"; exit 1; fi
if ! grep -qxF "$(tail -n 1 "$scratch/section.txt")" "$scratch/console.txt"; then
  echo "--- the console lacks the section's count line"; fail=1
fi

# block FILE NAME: the lines between "<!-- NAME" and "<!-- /NAME -->", without
# blank lines, the Markdown indent, <pre> tags and HTML entities.
block() {
  awk -v name="$2" '
    index($0, "<!-- /" name " -->") == 1 { inside = 0 }
    inside && $0 != "" { print }
    index($0, "<!-- " name) == 1 && index($0, "<!-- /") != 1 { inside = 1 }' "$1" |
    sed -e 's/^    //' -e 's/^<pre>//' -e 's/<\/pre>$//' -e 's/&gt;/>/g' -e 's/&lt;/</g' -e 's/&amp;/\&/g'
}

for page in README.md help/Quorel_help.htm; do
  block "$src/$page" quorel-loops-report > "$scratch/shown.txt"
  if ! cmp -s "$scratch/shown.txt" "$scratch/section.txt"; then
    echo "--- $page: the loops example differs from the run (shown vs real):"
    diff "$scratch/shown.txt" "$scratch/section.txt"
    fail=1
  fi
  block "$src/$page" quorel-loops-input > "$scratch/input.txt"
  if ! cmp -s "$scratch/input.txt" "$src/examples/loops.ped"; then
    echo "--- $page: the example input differs from examples/loops.ped (shown vs file):"
    diff "$scratch/input.txt" "$src/examples/loops.ped"
    fail=1
  fi
done
exit $fail
