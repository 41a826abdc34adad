#!/usr/bin/env bash
# Redraws resources/background.png and resources/knobstrip.png (and their 2x
# versions, background_2x.png and knobstrip_2x.png) with the artwork
# generator, then renders the editor to docs/editor.png with the new pictures.
# Usage: scripts/make-artwork.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

scripts/install-dependencies.sh test  # the font packages are in the test list
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" --target varnoke-artwork
"$build"/tools/artwork/varnoke-artwork resources
cmake --build "$build" --target varnoke-editor-snapshot
"$build"/tools/editor-snapshot/varnoke-editor-snapshot docs/editor.png 0.25 0.6 0.5
