#!/usr/bin/env bash
# Debian's offline LV2 tools render a file through Varnoke.lv2 exactly as
# varnoke-render renders it through the VST 2.4 plug-in: lv2apply (which
# instantiates with no features at all) and lv2file (no bounded block length),
# both setting the knobs as control ports. Release 1.0.0 ran in neither. The
# sample data are compared byte for byte (both write 32-bit float WAV).
# Usage: lv2-offline-tools.sh BUNDLE URI VARNOKE_RENDER
set -euo pipefail
bundle=$1
uri=$2
render=$3
export LV2_PATH
LV2_PATH=$(cd "$(dirname "$bundle")" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The sample data of a WAV file: the bytes of its data chunk.
data_of() {
  python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read()
i = 12
while i + 8 <= len(b):
    cid, n = b[i:i + 4], struct.unpack('<I', b[i + 4:i + 8])[0]
    if cid == b'data':
        sys.stdout.buffer.write(b[i + 8:i + 8 + n])
        break
    i += 8 + n + (n & 1)
PY
}

"$render" -o "$work/input.wav" --bits 32 >/dev/null
"$render" "$work/input.wav" -o "$work/expected.wav" --low-contour 0.4 --process 0.7 --output 0.6 >/dev/null
data_of "$work/expected.wav" >"$work/expected.raw"
if [[ ! -s "$work/expected.raw" ]]; then
  echo "varnoke-render wrote no samples" >&2
  exit 1
fi

status=0
check() {
  local tool=$1 file=$2
  if ! cmp -s "$work/expected.raw" <(data_of "$file"); then
    echo "$tool does not render what varnoke-render renders" >&2
    status=1
  else
    echo "$tool renders what varnoke-render renders"
  fi
}

lv2apply -i "$work/input.wav" -o "$work/lv2apply.wav" -c lowContour 0.4 -c process 0.7 -c output 0.6 "$uri"
check lv2apply "$work/lv2apply.wav"

# The output peaks above full scale (+6 dB of gain): lv2file keeps floats as they are.
lv2file -i "$work/input.wav" -o "$work/lv2file.wav" -p lowContour:0.4 -p process:0.7 -p output:0.6 \
  --ignore-clipping "$uri" >/dev/null
check lv2file "$work/lv2file.wav"
exit $status
