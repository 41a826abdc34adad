#!/usr/bin/env bash
# Installs what is missing, builds Varnoke and renders the built-in demo through it.
# Usage: tools/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

tools/install-dependencies.sh build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOKE_BUILD_TESTS=OFF -DVARNOKE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target varnoke-render
"$build/tools/varnoke-render"
