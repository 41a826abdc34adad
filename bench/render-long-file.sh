#!/usr/bin/env bash
# Times varnoke-render on a long file (default ten minutes of stereo 48 kHz):
# the summary line gives the speed as a multiple of real time.
# Usage: bench/render-long-file.sh [BUILD_DIR] [MINUTES]
set -euo pipefail
build=${1:-build}
minutes=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/varnoke_make_long_input" "$work/long.wav" "$minutes" 48000
for run in 1 2 3; do
  "$build/bin/varnoke-render" "$work/long.wav" -o "$work/out.wav" --low-contour 0.3 --process 0.5 2>/dev/null
done
