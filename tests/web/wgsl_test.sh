#!/usr/bin/env bash
# The web page's shaders: every entry point's WGSL (the build's translation of the Vulkan route's
# SPIR-V) is valid WGSL as Tint reads it, declares its entry point, and writes the picture through
# a write-only storage texture (core WebGPU allows no read_write rgba8unorm).
# Usage: wgsl_test.sh TINT WGSL_DIR   Exit 77: skipped.
set -uo pipefail
tint=$1
dir=$2
if [ -z "$tint" ] || [ ! -x "$tint" ]; then
  echo "SKIPPED: tint not found (scripts/tint installs it; then configure the build again)"
  exit 77
fi
tmp=$(mktemp -d "${TMPDIR:-/tmp}/intro-wgsl.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0
for entry in Z1 Z2 Z3 Z4 Z5 Z6 Z7 Z8 Z9 ZA ZB ZZ; do
  file=$dir/$entry.wgsl
  problem=""
  if [ ! -s "$file" ]; then
    problem="$file is missing (the build's web_wgsl target writes it)"
  elif ! "$tint" --format wgsl "$file" -o "$tmp/$entry.wgsl" >"$tmp/$entry.log" 2>&1 || [ -s "$tmp/$entry.log" ]; then
    problem="Tint does not take it: $(head -c 2000 "$tmp/$entry.log")"
  elif ! grep -q "^fn $entry(" "$file"; then
    problem="no entry point named $entry"
  elif grep -q "read_write>" "$file" || ! grep -q "texture_storage_2d<rgba8unorm, write>" "$file"; then
    problem="the picture is not one write-only rgba8unorm storage texture: $(grep -o 'texture_storage_2d<[^>]*>' "$file" | sort -u | tr '\n' ' ')"
  fi
  if [ -n "$problem" ]; then
    echo "FAIL: $entry: $problem"
    failures=$((failures + 1))
  else
    echo "$entry: $(stat -c %s "$file") bytes of WGSL, valid"
  fi
done
echo "$((12 - failures)) passed, $failures failed"
[ $failures -eq 0 ]
