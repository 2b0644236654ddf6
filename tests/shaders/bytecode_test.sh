#!/usr/bin/env bash
# Compiles each of the twelve entry points of the joined HLSL text to cs_5_0 bytecode with
# vkd3d-shader and fails on any error or warning (anything the compiler prints counts).
# Usage: bytecode_test.sh VKD3D_COMPILER INTRO_HLSL OUT_DIR   Exit 77: skipped.
set -uo pipefail
compiler=$1
source=$2
out=$3
if [ -z "$compiler" ] || [ ! -x "$compiler" ]; then
  echo "SKIPPED: vkd3d-compiler not found (scripts/vkd3d installs it; then configure the build again)"
  exit 77
fi
[ -f "$source" ] || { echo "FAIL: $source does not exist (build the shader_source target first)"; exit 1; }
mkdir -p "$out"
"$compiler" --version
failures=0
total=0
for entry in Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 ZA ZB ZZ; do
  start=$(date +%s%N)
  "$compiler" -x hlsl -p cs_5_0 -e "$entry" -b dxbc-tpf -o "$out/$entry.dxbc" "$source" >"$out/$entry.log" 2>&1
  status=$?
  ms=$((($(date +%s%N) - start) / 1000000))
  total=$((total + ms))
  if [ $status -ne 0 ] || [ -s "$out/$entry.log" ] || [ ! -s "$out/$entry.dxbc" ]; then
    echo "FAIL: $entry (exit $status):"
    head -c 4000 "$out/$entry.log"
    failures=$((failures + 1))
  else
    echo "$entry: $(stat -c %s "$out/$entry.dxbc") bytes of bytecode in $ms ms"
  fi
done
echo "twelve entry points in $total ms"
echo "$((12 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
