#!/usr/bin/env bash
# The Debian package as a user gets it, built from the already built tree:
# scripts/package.sh deb writes varnoke_<version>_amd64.deb; its file list,
# metadata, manual page and changelog are checked with dpkg-deb, and lintian
# reports no error and no warning but the ones kept on purpose. Installing,
# using and purging it is the fresh-machine check's part
# (scripts/check-fresh-machine.sh --deb), in a throwaway Debian root: nothing
# is installed on this machine.
# Usage: deb-package-test.sh BUILD_DIR PACKAGE VERSION
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: deb-package-test.sh BUILD_DIR PACKAGE VERSION"
build=${1:?$usage}
package=${2:?$usage}
version=${3:?$usage}
build=$(cd "$build" && pwd)

for tool in dpkg-deb dpkg-shlibdeps lintian man; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: the package tests need $tool; scripts/install-dependencies.sh test installs it."
    exit 77
  fi
done

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "--- building the package"
"$root/scripts/package.sh" deb "$build"
deb=$build/packages/${package}_${version}_amd64.deb
[[ -f "$deb" ]] || { echo "FAILED: scripts/package.sh wrote no $deb"; exit 1; }

echo "--- metadata"
expect_field() {
  local actual
  actual=$(dpkg-deb -f "$deb" "$1")
  [[ "$actual" == "$2" ]] || fail "$1 is '$actual', expected '$2'"
}
expect_field Package "$package"
expect_field Version "$version"
expect_field Architecture amd64
expect_field Section sound
dpkg-deb -f "$deb" Depends
# The dependencies are dpkg-shlibdeps' answer for the binaries in the package.
mkdir -p "$work/unpacked/debian"
dpkg-deb -x "$deb" "$work/unpacked"
touch "$work/unpacked/debian/control"
mapfile -t binaries < <(cd "$work/unpacked" && find usr -type f \( -name '*.so' -o -path 'usr/bin/*' \) | sort)
computed=$(cd "$work/unpacked" && dpkg-shlibdeps -O "${binaries[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[[ -n "$computed" && "$(dpkg-deb -f "$deb" Depends)" == "$computed" ]] ||
  fail "Depends is not what dpkg-shlibdeps computes: '$computed'"

echo "--- file list"
expected_files=$(
  cat <<EOF
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/Varnoke.so
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/dsp.ttl
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/manifest.ttl
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/presets.ttl
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/ui.ttl
-rw-r--r-- ./usr/lib/vst/Varnoke.so
-rw-r--r-- ./usr/lib/vst3/Varnoke.vst3/Contents/x86_64-linux/Varnoke.so
-rw-r--r-- ./usr/share/doc/$package/changelog.gz
-rw-r--r-- ./usr/share/doc/$package/copyright
-rw-r--r-- ./usr/share/man/man1/varnoke-render.1.gz
-rw-r--r-- ./usr/share/varnoke/presets/Bright.fxp
-rw-r--r-- ./usr/share/varnoke/presets/Flat.fxp
-rw-r--r-- ./usr/share/varnoke/presets/Loudness.fxp
-rw-r--r-- ./usr/share/varnoke/presets/Presence.fxp
-rw-r--r-- ./usr/share/varnoke/presets/Smile.fxp
-rw-r--r-- ./usr/share/varnoke/presets/Warm low end.fxp
-rwxr-xr-x ./usr/bin/varnoke-render
EOF
)
# Regular files with their modes, owned by root.
# (Names may hold spaces: the name is every field from the sixth on.)
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { name = $6; for (i = 7; i <= NF; i++) name = name " " $i; print $1, name }' |
  sort -k2)
[[ "$files" == "$(sort -k2 <<<"$expected_files")" ]] || {
  fail "the package's files differ from the expected ones:"
  diff <(sort -k2 <<<"$expected_files") <(echo "$files") || true
}
owners=$(dpkg-deb -c "$deb" | awk '{ print $2 }' | sort -u)
[[ "$owners" == root/root ]] || fail "files not owned by root/root: $owners"
for binary in "${binaries[@]}"; do
  readelf -S "$work/unpacked/$binary" | grep -q '\.symtab' && fail "$binary is not stripped"
done

echo "--- manual page, changelog, copyright"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
  man --warnings -E UTF-8 -l -Tutf8 -Z "$work/unpacked/usr/share/man/man1/varnoke-render.1.gz" 2>&1 >/dev/null)
[[ -z "$man_warnings" ]] || fail "the manual page does not format cleanly: $man_warnings"
man_text=$(MANWIDTH=80 man -l "$work/unpacked/usr/share/man/man1/varnoke-render.1.gz" 2>/dev/null | col -b)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES; do
  grep -q "^$section\$" <<<"$man_text" || fail "the manual page has no $section section"
done
# Every option of --help is in the manual page.
while read -r option; do
  grep -qe "$option" <<<"$man_text" || fail "the manual page does not describe $option"
done < <("$build/bin/varnoke-render" --help | grep -oE '^ +(-[a-z], )?--[a-z-]+' | grep -oE -- '--[a-z-]+')
changelog_version=$(zcat "$work/unpacked/usr/share/doc/$package/changelog.gz" | dpkg-parsechangelog -l - -S Version)
[[ "$changelog_version" == "$version" ]] || fail "the changelog's newest entry is $changelog_version"
copyright=$work/unpacked/usr/share/doc/$package/copyright
cmp -s "$copyright" "$root/packaging/debian/copyright" ||
  fail "the installed copyright file is not packaging/debian/copyright"
# Debian's machine-readable form: a header paragraph naming the format, then Files paragraphs.
{ head -n 1 "$copyright" | grep -q '^Format: ' && grep -q '^Files: \*$' "$copyright"; } ||
  fail "the copyright file is not in the machine-readable format"
grep -q '^License: GPL-3$' "$copyright" || fail "the copyright file has no GPL-3 licence"

echo "--- lintian"
# Kept: CPack's maintainer scripts call ldconfig because the plug-ins are
# shared objects below /usr/lib (harmless: none is in the linker's path).
lintian_status=0
lintian_output=$(lintian --fail-on error,warning --suppress-tags maintscript-calls-ldconfig "$deb" 2>&1) ||
  lintian_status=$?
grep -v 'running with root privileges' <<<"$lintian_output" || true
((lintian_status == 0)) || fail "lintian reports errors or warnings (status $lintian_status)"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "The package is built as Debian expects"
