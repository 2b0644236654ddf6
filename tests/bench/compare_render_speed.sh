#!/bin/bash
# Compares the song render speed of two builds: both synth_benchmark runs start at the same
# moment, each pinned to its own core, and swap cores every round. On a shared virtual machine the
# speed of a core drifts by several per cent from minute to minute; runs side by side feel the
# same drift, so their ratio mostly holds within one per cent where separate runs do not (an
# occasional round is a few per cent off: read the median).
#
#   tests/bench/compare_render_speed.sh BUILD_BEFORE BUILD_AFTER [ROUNDS] [FILTER]
#
# Prints each round's CPU seconds and the after/before ratio (below 1: after is faster), then
# the median ratio. FILTER picks the benchmark (default Builtin: the intro's song).
set -euo pipefail

usage() {
  echo "usage: $0 BUILD_BEFORE BUILD_AFTER [ROUNDS] [FILTER]" >&2
  echo "  each build directory must hold tests/bench/synth_benchmark (a Release build)" >&2
  exit 2
}

[[ $# -ge 2 && $# -le 4 ]] || usage
before="$1/tests/bench/synth_benchmark"
after="$2/tests/bench/synth_benchmark"
rounds="${3:-4}"
filter="${4:-Builtin}"
for program in "$before" "$after"; do
  [[ -x "$program" ]] || { echo "$0: no benchmark at $program: build its tree first" >&2; exit 2; }
done
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || { echo "$0: ROUNDS must be a positive whole number, got '$rounds'" >&2; exit 2; }
command -v taskset > /dev/null || { echo "$0: taskset (util-linux) is missing" >&2; exit 2; }
[[ "$(nproc)" -ge 2 ]] || { echo "$0: needs two cores to run both builds side by side" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# CPU seconds of the last benchmark line (the "CPU" column).
cpu_seconds() { awk 'END { print $4 }' "$1"; }

ratios=()
for ((round = 1; round <= rounds; ++round)); do
  core_before=$(((round + 1) % 2))
  core_after=$((round % 2))
  taskset -c "$core_before" "$before" --benchmark_filter="$filter" > "$work/before" 2>&1 &
  taskset -c "$core_after" "$after" --benchmark_filter="$filter" > "$work/after" 2>&1 &
  wait
  b="$(cpu_seconds "$work/before")"
  a="$(cpu_seconds "$work/after")"
  ratio="$(awk -v a="$a" -v b="$b" 'BEGIN { if (b <= 0) exit 1; printf "%.4f", a / b }')" ||
    { echo "$0: round $round gave no time; output:" >&2; cat "$work/before" "$work/after" >&2; exit 1; }
  ratios+=("$ratio")
  echo "round $round: before ${b} s, after ${a} s, ratio $ratio"
done
printf '%s\n' "${ratios[@]}" | sort -n |
  awk '{ r[NR] = $1 } END { m = (NR % 2) ? r[(NR + 1) / 2] : (r[NR / 2] + r[NR / 2 + 1]) / 2;
                             printf "median ratio after/before: %.3f\n", m }'
