#!/usr/bin/env bash
# Varnoke.vst3 through the validators hosts and plug-in makers rely on, built
# from the source snapshots in ../shared/validators (their build.sh caches them):
#   steinberg        Steinberg's VST3 validator, the normal suite
#   steinberg-e      the same, extensive suite (-e)
#   pluginval        pluginval at strictness 10 with its editor tests, in a
#                    random order three times, then with the seed 0x19d52f5
# Usage: vst3-validators.sh SUITE BUNDLE VALIDATORS_DIR CACHE_DIR
# Exits 77 (skipped) with one line when the validators' folder is absent.
set -euo pipefail
suite=$1 bundle=$2 validators=$3 cache=$4

if [[ ! -x $validators/build.sh ]]; then
  echo "skipped: no validators at $validators (../shared/validators is absent)"
  exit 77
fi
paths=$("$validators/build.sh" "$cache")
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
