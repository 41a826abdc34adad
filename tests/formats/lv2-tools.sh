#!/usr/bin/env bash
# Debian's LV2 tools, as a user runs them, on the built bundle: lv2ls lists
# Varnoke, and lv2info describes it (name, vendor, stereo ports, the UI)
# without a warning or an error.
# Usage: lv2-tools.sh BUNDLE URI
set -euo pipefail
bundle=$1
uri=$2
export LV2_PATH
LV2_PATH=$(cd "$(dirname "$bundle")" && pwd)

listed=$(lv2ls 2>&1)
if [[ "$listed" != "$uri" ]]; then
  echo "lv2ls listed: $listed" >&2
  exit 1
fi

errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
info=$(lv2info "$uri" 2>"$errors")
if [[ -s "$errors" ]]; then
  echo "lv2info complained:" >&2
  cat "$errors" >&2
  exit 1
fi

status=0
expect() {
  if ! grep -qE "$1" <<<"$info"; then
    echo "lv2info does not show: $1" >&2
    status=1
  fi
}
expect '^[[:space:]]+Name:[[:space:]]+Varnoke$'
expect '^[[:space:]]+Author:[[:space:]]+Ostrelund$'
expect "^[[:space:]]+$uri:UI\$"
expect 'Class:[[:space:]]+http://lv2plug.in/ns/extensions/ui#X11UI'
for symbol in audio_in_1 audio_in_2 audio_out_1 audio_out_2; do
  expect "^[[:space:]]+Symbol:[[:space:]]+$symbol\$"
done
# The factory presets, each by its label, below "Presets:".
presets=$(awk '/^[[:space:]]+Presets:/ { inside = 1; next } inside && /^[[:space:]]*$/ { exit } inside { sub(/^[[:space:]]+/, ""); print }' <<<"$info" | sort)
expected_presets=$(printf '%s\n' Bright Flat Loudness Presence Smile 'Warm low end')
if [[ "$presets" != "$expected_presets" ]]; then
  echo "lv2info lists the presets:" >&2
  echo "$presets" >&2
  status=1
fi
if grep -q 'Author Email\|Author Homepage' <<<"$info"; then
  echo "lv2info shows an author address Varnoke never gave:" >&2
  grep 'Author Email\|Author Homepage' <<<"$info" >&2
  status=1
fi
exit $status
