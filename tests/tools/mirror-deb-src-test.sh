#!/usr/bin/env bash
# scripts/mirror-deb-src.sh on sample apt configurations, never the machine's own:
# each folder in CASES_DIR holds input/ (a sources.list and/or sources.list.d/)
# and expected/ (the deb-src files the script must write beside its copies of
# the sources; no expected/ means none). For each case the configuration read
# must be left as it was, the files written must be the expected ones, a second
# run must change nothing, and apt itself, reading only the private folder,
# must read it without a new complaint and find a source index beside every
# package index.
# Usage: mirror-deb-src-test.sh CASES_DIR
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cases=$(cd "${1:?usage: mirror-deb-src-test.sh CASES_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# "TYPE REPOSITORY SUITE COMPONENT" for each index apt would fetch.
# shellcheck disable=SC2016 # apt expands the $(FIELD)s.
index_targets() {
  apt-get indextargets --no-release-info --format '$(TARGET_OF) $(REPO_URI) $(RELEASE) $(COMPONENT)' | sort -u
}

for case_dir in "$cases"/*/; do
  name=$(basename "$case_dir")
  etc=$work/$name
  mkdir -p "$etc/sources.list.d" "$etc/lists/partial"
  cp -r "$case_dir/input/." "$etc/"
  cat >"$etc/apt.conf" <<CONF
Dir::Etc::SourceList "$etc/sources.list";
Dir::Etc::SourceParts "$etc/sources.list.d";
Dir::State::Lists "$etc/lists";
CONF
  export APT_CONFIG=$etc/apt.conf
  # A sample may carry apt's warnings (a doubled entry), never its errors.
  if ! index_targets >/dev/null 2>"$etc/apt-before" || grep -q '^E:' "$etc/apt-before"; then
    fail "$name: apt cannot read the sample itself: $(cat "$etc/apt-before")"
    continue
  fi

  private=$work/$name-private
  configuration=$(cd "$etc" && find sources.list sources.list.d -type f -exec md5sum {} + 2>/dev/null | sort)
  if ! first=$("$root/scripts/mirror-deb-src.sh" "$private" 2>&1); then
    fail "$name: the script failed: $first"
    continue
  fi
  for form in list sources; do
    written=$private/varnoke-deb-src.$form
    expected=$case_dir/expected/varnoke-deb-src.$form
    if [[ -f "$expected" ]]; then
      if [[ ! -f "$written" ]]; then
        fail "$name: no $(basename "$written") written"
      elif ! difference=$(diff -u "$expected" "$written"); then
        fail "$name: $(basename "$written") is not as expected:"$'\n'"$difference"
      fi
    elif [[ -e "$written" ]]; then
      fail "$name: $(basename "$written") was left, and should not be:"$'\n'"$(cat "$written")"
    fi
  done

  checksums=$(cd "$private" && md5sum ./* 2>/dev/null)
  second=$("$root/scripts/mirror-deb-src.sh" "$private" 2>&1)
  [[ -z "$second" ]] || fail "$name: a second run did something: $second"
  [[ "$checksums" == "$(cd "$private" && md5sum ./* 2>/dev/null)" ]] || fail "$name: a second run changed the files"
  [[ "$configuration" == "$(cd "$etc" && find sources.list sources.list.d -type f -exec md5sum {} + 2>/dev/null | sort)" ]] ||
    fail "$name: the configuration it read was changed"

  # From here on apt reads the private folder alone.
  cat >"$etc/apt.conf" <<CONF
Dir::Etc::SourceList "$etc/no-main-list";
Dir::Etc::SourceParts "$private";
Dir::State::Lists "$etc/lists";
CONF

  # apt's warnings name the files: the copies stand where the originals stood.
  sed -i -e "s#$etc/sources.list.d/##g" -e "s#$etc/sources.list#sources.list.d.list#g" "$etc/apt-before"
  targets=$(index_targets 2>"$etc/apt-after")
  status=$?
  sed -i -e "s#$private/##g" "$etc/apt-after"
  if ((status)) || grep -vxF -f "$etc/apt-before" "$etc/apt-after" >/dev/null; then
    fail "$name: apt complains about the result: $(grep -vxF -f "$etc/apt-before" "$etc/apt-after")"
  fi
  while read -r type repository suite component; do
    [[ "$type" == deb && "$repository" != cdrom:* ]] || continue
    grep -qxF "deb-src $repository $suite $component" <<<"$targets" ||
      fail "$name: no source index for $repository $suite $component"
  done <<<"$targets"
  unset APT_CONFIG
done

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "Every sample configuration gets the deb-src entries it lacks, once"
