#!/usr/bin/env bash
# Instructions per stereo frame of processBlock, counted by callgrind (exact and
# repeatable, where the machine has no cycle counter), for the SSE2 and AVX2
# kernels (forced with VARNOKE_KERNEL). Valgrind's virtual processor has no
# AVX-512, so that kernel cannot be counted here. Usage: bench/count-instructions.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
workload="$build/bench/varnoke_process_workload"

count() { # mode blocks -> total instructions
  local out
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "$workload" "$1" "$2" >/dev/null 2>&1
  awk '/^summary:/ {print $2}' "$out"
  rm -f "$out"
}

for kernel in sse2 avx2; do
  export VARNOKE_KERNEL=$kernel
  for mode in normal decayed; do
    short=$(count "$mode" 200)
    long=$(count "$mode" 1200)
    awk -v a="$short" -v b="$long" -v m="$mode" -v k="$kernel" \
      'BEGIN { printf "%-6s %-8s %.1f instructions per stereo frame\n", k, m, (b - a) / (1000 * 512) }'
  done
done
