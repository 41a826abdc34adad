#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (the Windows
# plug-in too: CTest cross-builds it and runs its test host under Wine).
# Usage: tools/test.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

tools/install-dependencies.sh test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNOKE_BUILD_TESTS=ON -DVARNOKE_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build"

# Window tests need an X display: start a virtual one when there is none.
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure
fi
exec ctest --test-dir "$build" --output-on-failure
