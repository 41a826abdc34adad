#!/usr/bin/env bash
# Gives apt the source index of every archive this machine installs from, for
# `apt-get source` (the Windows build compiles libpng and libjpeg-turbo from
# Debian's sources). The deb-src entries are derived from the machine's own
# enabled source files by derive-deb-src.pl and written to
# SOURCE_PARTS/varnoke-deb-src.list and .sources (only the forms that have
# entries). Running it again with the same configuration changes nothing.
# Prints one line for each file it writes or removes, nothing when all is
# current: the caller then runs `apt-get update`.
# Usage: mirror-deb-src.sh     (apt's configuration, APT_CONFIG included, says where)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

source_list=
source_parts=
eval "$(apt-config shell source_list Dir::Etc::SourceList/f source_parts Dir::Etc::SourceParts/d)"
source_parts=${source_parts%/}
[[ -n "$source_parts" ]] || { echo "apt-config names no folder of source files" >&2; exit 1; }
own=$source_parts/varnoke-deb-src

# The files apt reads: the main list and the parts with apt's own names.
inputs=()
[[ -n "$source_list" && -f "$source_list" ]] && inputs+=("$source_list")
for file in "$source_parts"/*.list "$source_parts"/*.sources; do
  name=$(basename "$file")
  [[ -f "$file" && "$name" =~ ^[A-Za-z0-9_.-]+$ && "$file" != "$own".* ]] && inputs+=("$file")
done

for form in list sources; do
  target=$own.$form
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
  content="# The source indexes of the archives configured beside this file, for apt-get source;
# written by Varnoke's scripts/mirror-deb-src.sh from the deb entries here.
$entries"
  if [[ ! -f "$target" || "$(cat "$target")" != "$content" ]]; then
    printf '%s\n' "$content" >"$target.new"
    chmod 644 "$target.new"
    mv "$target.new" "$target"
    echo "Wrote $target: the source indexes of the configured archives"
  fi
done
