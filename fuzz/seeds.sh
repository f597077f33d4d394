#!/usr/bin/env bash
# Builds the fuzzers' seed corpora from the end-to-end test cases.
#
#   fuzz/seeds.sh <out-dir>
#
# Each golden case becomes a seed of its program's whole-run target: its
# options (the command's words that don't name one of the case's files) on
# the first line, then its pedigree, and for the tracer "%%" and the key file.
# The field-reader targets get the same pedigrees behind a few settings.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:?usage: seeds.sh <out-dir>}"

declare -A target=([Quorel]=quorel_fuzz [Tavisk]=tavisk_fuzz [Nembril]=nembril_fuzz [Folvane]=folvane_fuzz)
for t in quorel_fuzz tavisk_fuzz nembril_fuzz folvane_fuzz dtoken_fuzz ftoken_fuzz columns_fuzz escape_fuzz; do
  mkdir -p "$out/$t"
done

# Settings prefixes of the field-reader targets (see their sources): a length
# byte and the delimiters or column list, then merge/size or the pair count.
dtoken_settings=($'\x01 \x00\x10' $'\x02 \t\x01\x13' $'\x01,\x00\x05' $'\x00\x00\x00')
ftoken_settings=($'\x0c1,5,6,5,11,5\x02' $'\x0b1,4,5,4,9,4\x02' $'\x031,0\x00')

n=0
for cmd in "$root"/tests/golden/*/*/cmd; do
  case_dir="$(dirname "$cmd")"
  mapfile -t words <"$cmd"
  program="${words[0]}"
  t="${target[$program]:-}"
  [[ -n "$t" ]] || continue
  options=()
  inputs=()
  for w in "${words[@]:1}"; do
    if [[ -n "$w" && ( -f "$case_dir/$w" || -e "$case_dir/expected/files/$w" ) ]]; then
      [[ -f "$case_dir/$w" ]] && inputs+=("$case_dir/$w")
    elif [[ -n "$w" && -f "$case_dir/expected/absent" ]] && grep -qxF -- "$w" "$case_dir/expected/absent"; then
      :
    else
      options+=("$w")
    fi
  done
  n=$((n + 1))
  seed="$out/$t/$(basename "$(dirname "$case_dir")")_$(basename "$case_dir")"
  {
    printf '%s\n' "${options[*]-}"
    if ((${#inputs[@]} > 0)); then cat "${inputs[0]}"; fi
    if [[ "$t" == nembril_fuzz ]] && ((${#inputs[@]} > 1)); then
      printf '%%%%\n'
      cat "${inputs[1]}"
    fi
  } >"$seed"
  if ((${#inputs[@]} > 0)); then
    i=0
    for s in "${dtoken_settings[@]}"; do
      { printf '%s' "$s"; cat "${inputs[0]}"; } >"$out/dtoken_fuzz/$(basename "$seed")_$i"
      i=$((i + 1))
    done
    i=0
    for s in "${ftoken_settings[@]}"; do
      { printf '%s' "$s"; cat "${inputs[0]}"; } >"$out/ftoken_fuzz/$(basename "$seed")_$i"
      i=$((i + 1))
    done
  fi
done

# Option values as the programs take them.
i=0
for s in '1,5,6,5,11,5' '1,4,5,4,9,4' '0,0' '3' '99999999999999999999,1' '1;2;3;4;5;6' ''; do
  printf '%s' "$s" >"$out/columns_fuzz/list_$i"
  i=$((i + 1))
done
i=0
for s in '\t' ',' '\\' '\"' "\\'" '\n\r' 'a\b' '\' ' \t,'; do
  printf '%s' "$s" >"$out/escape_fuzz/value_$i"
  i=$((i + 1))
done
echo "seeds: $n cases into $out"
