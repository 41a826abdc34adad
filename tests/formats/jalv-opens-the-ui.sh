#!/usr/bin/env bash
# jalv, Debian's reference LV2 host, loads Varnoke.lv2 on a JACK server with a
# dummy sound card (no audio hardware needed) and opens the plug-in's window in
# its own: the window shows the Varnoke editor, whose name panel is the
# background picture as it is. The screenshot lands in the test artifacts.
# Usage: jalv-opens-the-ui.sh BUNDLE URI BACKGROUND_PNG ARTIFACTS_DIR
set -euo pipefail
bundle=$1
uri=$2
background=$3
artifacts=$4

if [[ -z "${DISPLAY:-}" ]]; then
  echo "needs an X display" >&2
  exit 1
fi

work=$(mktemp -d)
jackd_pid=
jalv_pid=
cleanup() {
  [[ -n "$jalv_pid" ]] && kill "$jalv_pid" 2>/dev/null && wait "$jalv_pid" 2>/dev/null
  [[ -n "$jackd_pid" ]] && kill "$jackd_pid" 2>/dev/null && wait "$jackd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A JACK server of this test's own, so nothing else on the machine is touched.
export JACK_DEFAULT_SERVER=varnoke-jalv-$$
export LV2_PATH
LV2_PATH=$(cd "$(dirname "$bundle")" && pwd)
jackd --no-realtime -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
jackd_pid=$!
for _ in $(seq 50); do
  jack_lsp >/dev/null 2>&1 && break
  sleep 0.1
done

jalv.gtk3 "$uri" >"$work/jalv.log" 2>&1 &
jalv_pid=$!

# The editor: a 420 by 99 window inside jalv's window, which is named after the plug-in.
editor=
for _ in $(seq 100); do
  if ! kill -0 "$jalv_pid" 2>/dev/null; then
    echo "jalv ended:" >&2
    cat "$work/jalv.log" >&2
    exit 1
  fi
  editor=$(xwininfo -root -tree | awk '/"Varnoke": \("jalv/ { inside = 1; next } inside && / 420x99\+/ { print $1; exit }')
  [[ -n "$editor" ]] && break
  sleep 0.1
done
if [[ -z "$editor" ]]; then
  echo "jalv shows no Varnoke editor:" >&2
  xwininfo -root -tree >&2
  cat "$work/jalv.log" >&2
  exit 1
fi

# Until the editor has painted its name panel (at most ten seconds).
mkdir -p "$artifacts"
convert "$background" -crop 150x99+270+0 +repage "$work/expected-panel.png"
panel_differs=1
for _ in $(seq 50); do
  import -window "$editor" "$work/editor.png"
  convert "$work/editor.png" -crop 150x99+270+0 +repage "$work/panel.png"
  panel_differs=$(compare -metric AE "$work/panel.png" "$work/expected-panel.png" null: 2>&1 || true)
  [[ "$panel_differs" == 0 ]] && break
  sleep 0.2
done
cp "$work/editor.png" "$artifacts/editor-in-jalv.png"
if [[ "$panel_differs" != 0 ]]; then
  echo "the editor in jalv never showed its name panel ($panel_differs pixels differ); see $artifacts/editor-in-jalv.png" >&2
  exit 1
fi
echo "jalv opened the Varnoke editor: $artifacts/editor-in-jalv.png"
