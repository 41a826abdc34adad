#!/usr/bin/env bash
# Installs what is missing, builds the plug-in Varnoke.so and renders the built-in demo through Varnoke.
# Usage: tools/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

tools/install-dependencies.sh build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOKE_BUILD_TESTS=OFF -DVARNOKE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target varnoke-render Varnoke
"$build/tools/varnoke-render"

plugin="$(cd "$build/plugin" && pwd)/Varnoke.so"
echo
echo "The VST 2.4 plug-in is $plugin"
echo "Install it for your hosts with:  mkdir -p ~/.vst && cp '$plugin' ~/.vst/"
