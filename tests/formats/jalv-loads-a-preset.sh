#!/usr/bin/env bash
# jalv, Debian's reference LV2 host, loads Varnoke's factory presets on a JACK
# server with a dummy sound card: its console sets each preset by URI and then
# shows the control ports at the preset's positions; jalv's window, started
# with --preset, shows the editor with its knobs where the preset put them
# (they differ from the Flat preset's). The screenshots land in the test artifacts.
# Usage: jalv-loads-a-preset.sh BUNDLE URI ARTIFACTS_DIR
set -euo pipefail
bundle=$1
uri=$2
artifacts=$3

if [[ -z "${DISPLAY:-}" ]]; then
  echo "needs an X display" >&2
  exit 1
fi

work=$(mktemp -d)
jackd_pid=
jalv_pid=
stop_jalv() {
  if [[ -n "$jalv_pid" ]]; then
    kill "$jalv_pid" 2>/dev/null && wait "$jalv_pid" 2>/dev/null
    jalv_pid=
  fi
  return 0
}
cleanup() {
  stop_jalv
  [[ -n "$jackd_pid" ]] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

export JACK_DEFAULT_SERVER=varnoke-jalv-preset-$$
export LV2_PATH
LV2_PATH=$(cd "$(dirname "$bundle")" && pwd)
jackd --no-realtime -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
for _ in $(seq 50); do
  jack_lsp >/dev/null 2>&1 && break
  sleep 0.1
done

status=0

# The console: "presets" lists (and loads) the presets, "preset URI" sets one,
# and "controls" prints every control port's value.
# The positions as jalv prints them (six decimals).
declare -A presets=(
  [flat]="0.000000 0.000000 0.500000"
  [warm_low_end]="0.200000 0.000000 0.350000"
  [presence]="0.000000 0.100000 0.400000"
  [bright]="0.000000 0.400000 0.250000"
  [smile]="0.200000 0.200000 0.300000"
  [loudness]="0.300000 0.100000 0.500000"
)
for name in "${!presets[@]}"; do
  # The last "controls" answer: the values after the preset.
  shown=$( (printf 'presets\npreset %s:preset:%s\ncontrols\n' "$uri" "$name"; sleep 1) |
    timeout 20 jalv -n "varnoke-$name" "$uri" 2>&1 |
    awk -F' = ' '/^(> )?lowContour = / { low = $2 } /^process = / { process = $2 } /^output = / { output = $2 } END { print low, process, output }')
  if [[ "$shown" != "${presets[$name]}" ]]; then
    echo "after the preset $name jalv shows lowContour, process, output = '$shown', expected '${presets[$name]}'" >&2
    status=1
  fi
done

# The window: the editor, 420 by 99 inside jalv's window, once it has painted
# (a screenshot that no longer changes).
screenshot() {
  local preset=$1 out=$2 editor=
  jalv.gtk3 --preset "$uri:preset:$preset" "$uri" >"$work/jalv-$preset.log" 2>&1 &
  jalv_pid=$!
  for _ in $(seq 100); do
    if ! kill -0 "$jalv_pid" 2>/dev/null; then
      echo "jalv ended:" >&2
      cat "$work/jalv-$preset.log" >&2
      return 1
    fi
    editor=$(xwininfo -root -tree | awk '/"Varnoke[^"]*": \("jalv/ { inside = 1; next } inside && / 420x99\+/ { print $1; exit }')
    [[ -n "$editor" ]] && break
    sleep 0.1
  done
  if [[ -z "$editor" ]]; then
    echo "jalv shows no Varnoke editor with the preset $preset" >&2
    return 1
  fi
  local previous= changes=1
  for _ in $(seq 50); do
    sleep 0.2
    import -window "$editor" "$out"
    if [[ -n "$previous" ]]; then
      changes=$(compare -metric AE "$out" "$previous" null: 2>&1 || true)
      [[ "$changes" == 0 ]] && break
    fi
    cp "$out" "$work/previous.png"
    previous=$work/previous.png
  done
  # jalv's whole window too, its menu and the editor in it.
  local toplevel
  toplevel=$(xwininfo -root -tree | awk '/"Varnoke[^"]*": \("jalv/ { print $1; exit }')
  [[ -n "$toplevel" ]] && import -window "$toplevel" "${out%.png}-window.png"
  stop_jalv
}

mkdir -p "$artifacts"
screenshot flat "$artifacts/jalv-preset-flat.png" || status=1
screenshot bright "$artifacts/jalv-preset-bright.png" || status=1
if [[ -f "$artifacts/jalv-preset-flat.png" && -f "$artifacts/jalv-preset-bright.png" ]]; then
  # The Process and Output knobs move; the rest of the window stays.
  differing=$(compare -metric AE "$artifacts/jalv-preset-flat.png" "$artifacts/jalv-preset-bright.png" null: 2>&1 || true)
  if [[ "$differing" == 0 ]]; then
    echo "the editor looks the same with the presets Flat and Bright: the preset never reached the window" >&2
    status=1
  fi
fi
[[ $status == 0 ]] && echo "jalv loads every factory preset; screenshots: $artifacts/jalv-preset-*.png"
exit $status
