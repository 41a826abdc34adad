#!/usr/bin/env bash
# varnoke-editor-snapshot at 1x renders docs/editor.png's pixels exactly, and
# at 1.5x and 2x a picture of the scaled size whose name panel (right of the
# knobs) is the 2x background's, reduced for 1.5x; a scale outside 1..3 is
# refused. Needs an X display and ImageMagick; the pictures land in ARTIFACTS.
# Usage: editor-snapshot-test.sh SNAPSHOT_TOOL DOCS_EDITOR_PNG BACKGROUND_2X_PNG ARTIFACTS
set -euo pipefail
tool=$1 reference=$2 background2x=$3 artifacts=$4
mkdir -p "$artifacts"
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config

fail() { echo "FAIL: $*" >&2; exit 1; }

"$tool" "$artifacts/editor-snapshot-1x.png" 0.25 0.6 0.5 >/dev/null
differing=$(compare -metric AE "$reference" "$artifacts/editor-snapshot-1x.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "1x differs from $reference in $differing pixels"

for scale in 1.5 2; do
  "$tool" --scale $scale "$artifacts/editor-snapshot-${scale}x.png" 0.25 0.6 0.5 >/dev/null
done
[ "$(identify -format %wx%h "$artifacts/editor-snapshot-2x.png")" = 840x198 ] || fail "2x size"
[ "$(identify -format %wx%h "$artifacts/editor-snapshot-1.5x.png")" = 630x148 ] || fail "1.5x size"

# The name panel at 2x: the 2x background's pixels, one for one (alpha dropped).
panel=300x198+540+0
convert "$background2x" -crop $panel +repage -alpha off "$config/expected.png"
convert "$artifacts/editor-snapshot-2x.png" -crop $panel +repage -alpha off "$config/shown.png"
differing=$(compare -metric AE "$config/expected.png" "$config/shown.png" null: 2>&1 || true)
[ "$differing" = 0 ] || fail "the 2x name panel differs from the 2x background in $differing pixels"

if "$tool" --scale 5 "$artifacts/editor-snapshot-5x.png" 2>/dev/null; then fail "a scale of 5 was accepted"; fi
echo "editor snapshots at 1x, 1.5x and 2x as expected"
