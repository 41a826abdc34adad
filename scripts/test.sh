#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (the Windows
# plug-in too: CTest cross-builds it and runs its test host under Wine).
# Usage: scripts/test.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-dependencies.sh test
cmake --preset default -B "$build" >/dev/null
cmake --build "$build"

# Window tests need an X display: start a virtual one when there is none.
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure
fi
exec ctest --test-dir "$build" --output-on-failure
