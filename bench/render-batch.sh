#!/usr/bin/env bash
# Times varnoke-render on a folder of inputs, all rendered in one run: once
# with one job (--jobs 1), once with one job per processor core (the default).
# Prints the wall time of each run and the audio rendered per second of it.
# Usage: bench/render-batch.sh [BUILD_DIR] [FILES] [MINUTES_EACH]
set -euo pipefail
build=${1:-build}
files=${2:-8}
minutes=${3:-2}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/in"
"$build/bench/varnoke_make_long_input" "$work/in/take-1.wav" "$minutes" 48000
for i in $(seq 2 "$files"); do
  cp "$work/in/take-1.wav" "$work/in/take-$i.wav"
done
audio_seconds=$((files * minutes * 60))
cores=$(nproc)
echo "$files inputs of $minutes min (48 kHz stereo), $cores cores"

run() {
  local jobs=$1 label=$2 start end
  rm -rf "$work/out"
  start=$(date +%s.%N)
  "$build/bin/varnoke-render" "$work"/in/*.wav -o "$work/out/" --low-contour 0.3 --process 0.5 \
    ${jobs:+--jobs "$jobs"} >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v label="$label" -v s="$start" -v e="$end" -v audio="$audio_seconds" \
    'BEGIN { printf "%-12s %6.2f s wall, %5.0fx real time\n", label, e - s, audio / (e - s) }'
}

for round in 1 2 3; do
  run 1 "1 job"
  run "" "$cores jobs"
done
