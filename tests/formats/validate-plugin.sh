#!/usr/bin/env bash
# A plug-in (Varnoke.vst3, or Varnoke.so for VST 2.4) through the validators
# hosts and plug-in makers rely on, built from the source snapshots in
# ../shared/validators (their build.sh caches them in its default folder):
#   steinberg        Steinberg's VST3 validator, the normal suite
#   steinberg-e      the same, extensive suite (-e)
#   pluginval        pluginval at strictness 10 with its editor tests, in a
#                    random order three times, then with the seed 0x19d52f5
# Usage: validate-plugin.sh SUITE PLUGIN VALIDATORS_DIR
# Exits 77 (skipped) with one line when the validators' folder is absent.
set -euo pipefail
suite=$1 bundle=$2 validators=$3

if [[ ! -x $validators/build.sh ]]; then
  echo "skipped: no validators at $validators (../shared/validators is absent)"
  exit 77
fi
paths=$("$validators/build.sh")
pluginval=$(sed -n 's/^pluginval: //p' <<<"$paths")
validator=$(sed -n 's/^validator: //p' <<<"$paths")

# Both validators write their temporary files into the working folder.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

case $suite in
  steinberg) "$validator" "$bundle" ;;
  steinberg-e) "$validator" -e "$bundle" ;;
  pluginval)
    "$pluginval" --strictness-level 10 --repeat 3 --randomise --validate "$bundle"
    "$pluginval" --strictness-level 10 --random-seed 0x19d52f5 --validate "$bundle"
    ;;
  *) echo "unknown suite $suite" >&2; exit 2 ;;
esac
