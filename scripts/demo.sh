#!/usr/bin/env bash
# Installs what is missing, builds the plug-in in its three formats (Varnoke.so
# for VST 2.4, Varnoke.vst3 and Varnoke.lv2) and the offline host
# varnoke-render, then renders the built-in demo through the plug-in: the dry
# and the processed demo as WAV files, and the response of the settings as a
# plot. It needs only the build packages: the release preset builds no tests.
# Usage: scripts/demo.sh [BUILD_DIR]     (default: build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}

scripts/install-dependencies.sh build
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target varnoke-render Varnoke Varnoke_VST3 Varnoke_LV2

out="$build/demo"
scripts/render-demo.sh "$build/bin/varnoke-render" "$out"

out=$(cd "$out" && pwd)
built=$(cd "$build" && pwd)
cat <<MSG

Listen:   $out/varnoke-demo-dry.wav (untouched) and $out/varnoke-demo.wav (Low Contour 0.35, Process 0.45, Output 0.28)
See:      $out/varnoke-response.png (the response of those and three other settings)
Plug-ins: VST 2.4  $built/plugin/Varnoke.so
          VST3     $built/VST3/Varnoke.vst3
          LV2      $built/LV2/Varnoke.lv2
Install them for yourself with
          mkdir -p ~/.vst ~/.vst3 ~/.lv2
          cp '$built/plugin/Varnoke.so' ~/.vst/
          cp -r '$built/VST3/Varnoke.vst3' ~/.vst3/
          cp -r '$built/LV2/Varnoke.lv2' ~/.lv2/
or system-wide with   sudo cmake --install $build
          (to /usr/local/lib/vst, /usr/local/lib/vst3, /usr/local/lib/lv2 and /usr/local/bin)
MSG
