#!/usr/bin/env bash
# Installs what is missing, builds the toolkit and runs it on the bundled
# example pedigree: check it, stack it, compute inbreeding, trace key animals.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DHALDOR_MODULES="checker;stacker;tracer;inbreeding" > /dev/null
cmake --build build -j"$(nproc)" > /dev/null
modules=build/modules
out=example-results
mkdir -p "$out"
ped=examples/herd.ped

echo "== Checking $ped"
"$modules/Quorel" -s "$ped" "$out/herd_check.txt"
if [ -x "$modules/Tavisk" ]; then
  echo; echo "== Stacking $ped by generation"
  "$modules/Tavisk" -e "$out/herd_stack.err" "$ped" "$out/herd_stacked.ped"
fi
if [ -x "$modules/Folvane" ]; then
  echo; echo "== Inbreeding coefficients"
  "$modules/Folvane" -p "$out/herd_stacked.ped" "$out/herd_inbreeding.txt"
fi
if [ -x "$modules/Nembril" ]; then
  echo; echo "== Tracing the ancestry of the animals in examples/herd_keys.txt"
  "$modules/Nembril" "$ped" examples/herd_keys.txt "$out/herd_traced.ped"
fi
echo
echo "Results are in $out/:"
ls -l "$out"
