#!/usr/bin/env bash
# Renders the built-in demo with a varnoke-render: the dry and the processed
# demo as WAV files, and the response of those settings and three others as a
# plot. scripts/demo.sh shows them to the user; the fresh-machine check
# compares a new machine's with this machine's.
# Usage: scripts/render-demo.sh VARNOKE_RENDER OUT_DIR
set -euo pipefail
render=${1:?usage: render-demo.sh VARNOKE_RENDER OUT_DIR}
out=${2:?usage: render-demo.sh VARNOKE_RENDER OUT_DIR}
mkdir -p "$out"
"$render" --bypass -o "$out/varnoke-demo-dry.wav"
"$render" --low-contour 0.35 --process 0.45 --output 0.28 -o "$out/varnoke-demo.wav" \
  --plot "$out/varnoke-response.png" --compare 0,0,0.5 --compare 0.8,0,0.5 --compare 0,0.8,0.5
