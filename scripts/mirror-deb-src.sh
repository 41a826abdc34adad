#!/usr/bin/env bash
# Makes a private folder of apt source files that gives the source index of
# every archive this machine installs from, for `apt-get source` (the Windows
# build compiles libpng and libjpeg-turbo from Debian's sources) without
# touching the machine's own apt configuration. DIR receives a copy of each
# enabled source file apt reads (the main list as sources.list.d.list) and,
# beside them, the deb-src twins that derive-deb-src.pl writes of the deb
# entries no deb-src entry serves yet (varnoke-deb-src.list and .sources,
# only the forms that have entries). Running it again with the same
# configuration changes nothing.
# Prints one line for each file it writes or removes, nothing when all is
# current: the caller then runs `apt-get update` with DIR as its source parts.
# Usage: mirror-deb-src.sh DIR     (apt's configuration, APT_CONFIG included, says what to mirror)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=${1:?usage: mirror-deb-src.sh DIR}
mkdir -p "$out"
out=$(cd "$out" && pwd)

source_list=
source_parts=
eval "$(apt-config shell source_list Dir::Etc::SourceList/f source_parts Dir::Etc::SourceParts/d)"
source_parts=${source_parts%/}
[[ -n "$source_parts" ]] || { echo "apt-config names no folder of source files" >&2; exit 1; }
[[ "$(cd "$source_parts" 2>/dev/null && pwd)" != "$out" ]] ||
  { echo "mirror-deb-src.sh writes a private copy: DIR must not be apt's own $source_parts" >&2; exit 1; }

# Writes CONTENT to FILE when it differs, and says so.
update_file() {
  local file=$1 content=$2
  if [[ ! -f "$file" || "$(cat "$file")" != "$content" ]]; then
    printf '%s\n' "$content" >"$file.new"
    chmod 644 "$file.new"
    mv "$file.new" "$file"
    echo "Wrote $file"
  fi
}

# The files apt reads: the main list and the parts with apt's own names,
# copied under the names apt reads in a parts folder.
inputs=()
wanted=()
[[ -n "$source_list" && -f "$source_list" ]] && inputs+=("$source_list") && wanted+=(sources.list.d.list)
for file in "$source_parts"/*.list "$source_parts"/*.sources; do
  name=$(basename "$file")
  [[ -f "$file" && "$name" =~ ^[A-Za-z0-9_.-]+$ && "$name" != varnoke-deb-src.* ]] || continue
  inputs+=("$file")
  wanted+=("$name")
done
for i in "${!inputs[@]}"; do
  update_file "$out/${wanted[$i]}" "$(cat "${inputs[$i]}")"
done

for form in list sources; do
  wanted+=("varnoke-deb-src.$form")
  target=$out/varnoke-deb-src.$form
  if ((${#inputs[@]})); then
    entries=$("$here/derive-deb-src.pl" "$form" "${inputs[@]}")
  else
    entries=
  fi
  if [[ -z "$entries" ]]; then
    if [[ -e "$target" ]]; then
      rm -f "$target"
      echo "Removed $target: every archive already has its source index"
    fi
    continue
  fi
  update_file "$target" "# The source indexes of the archives configured beside this file, for apt-get source;
# written by Varnoke's scripts/mirror-deb-src.sh from the deb entries here.
$entries"
done

# A source file the machine no longer has goes from the copy too.
for file in "$out"/*.list "$out"/*.sources; do
  [[ -f "$file" ]] || continue
  name=$(basename "$file")
  if ! printf '%s\n' "${wanted[@]}" | grep -qxF "$name"; then
    rm -f "$file"
    echo "Removed $file: apt no longer reads it"
  fi
done
