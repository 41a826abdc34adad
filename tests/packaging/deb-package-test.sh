#!/usr/bin/env bash
# The Debian package as a user gets it. From the already built tree:
# scripts/package.sh deb writes varnoke_<version>_amd64.deb; its file list,
# metadata, manual page and changelog are checked with dpkg-deb, lintian
# reports no error and no warning but the ones kept on purpose. Then it is
# installed with apt-get: varnoke-render on the PATH finds the installed
# plug-in and renders the demo exactly as the build's tool does, lv2ls lists
# the LV2 bundle and a VST3 host's default scan finds the VST3 bundle; apt-get
# purge removes it again and none of it is left. The machine is restored
# whether the test passes or fails.
# Usage: deb-package-test.sh BUILD_DIR PACKAGE VERSION LV2_URI FORMAT_TESTS
#   FORMAT_TESTS: the program with the InstalledVst3 test (tests/formats).
# Exits 77 (skipped) after the package checks when it may not install
# packages (neither root nor passwordless sudo), or when a varnoke package it
# did not install is on the machine (that one is left alone).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: deb-package-test.sh BUILD_DIR PACKAGE VERSION LV2_URI FORMAT_TESTS"
build=${1:?$usage}
package=${2:?$usage}
version=${3:?$usage}
lv2_uri=${4:?$usage}
format_tests=${5:?$usage}
build=$(cd "$build" && pwd)

for tool in dpkg-deb lintian apt-get lv2ls lv2info man; do
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
# The marker says that the installed package is this test's own, also to a
# later run after this one was killed before it could clean up.
marker=$build/packages/installed-by-package-test

sudo_cmd=()
may_install=yes
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo_cmd=(sudo -n)
  else
    may_install=no
  fi
fi
apt() {
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o Dpkg::Use-Pty=0 "$@"
}
package_state() {
  dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true
}

# Undoes what the test did to the machine: the package, and what apt-get
# installed along with it.
restore() {
  if [[ -f "$marker" ]]; then
    echo "--- restoring the machine"
    local added=()
    [[ -f "$marker" ]] && mapfile -t added <"$marker"
    [[ -n "$(package_state)" && "$(package_state)" != not-installed ]] && apt purge "$package" >/dev/null
    ((${#added[@]})) && apt purge "${added[@]}" >/dev/null
    rm -f "$marker"
  fi
  rm -rf "$work"
}
trap restore EXIT
# Interrupted, it restores too (a kill -9 leaves the marker for the next run).
trap 'exit 1' INT TERM HUP

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
-rw-r--r-- ./usr/lib/lv2/Varnoke.lv2/ui.ttl
-rw-r--r-- ./usr/lib/vst/Varnoke.so
-rw-r--r-- ./usr/lib/vst3/Varnoke.vst3/Contents/x86_64-linux/Varnoke.so
-rw-r--r-- ./usr/share/doc/$package/changelog.gz
-rw-r--r-- ./usr/share/doc/$package/copyright
-rw-r--r-- ./usr/share/man/man1/varnoke-render.1.gz
-rwxr-xr-x ./usr/bin/varnoke-render
EOF
)
# Regular files with their modes, owned by root.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $6 }' | sort -k2)
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

if [[ $may_install == no ]]; then
  echo "SKIPPED: installing the package needs root or passwordless sudo (the checks above ran)"
  ((failures)) && exit 1
  exit 77
fi
if [[ -f "$marker" ]]; then
  echo "A run of this test was interrupted: removing the package it installed"
  restore
  work=$(mktemp -d)
fi
state=$(package_state)
if [[ -n "$state" && "$state" != not-installed ]]; then
  echo "SKIPPED: a $package package is on this machine ($state) that this test did not install; it is left alone"
  ((failures)) && exit 1
  exit 77
fi

# Where a user's own plug-ins would be found first: an empty home.
export HOME=$work/home
mkdir -p "$HOME"
unset LV2_PATH VST_PATH VST3_PATH
lv2ls | grep -qx "$lv2_uri" && {
  echo "SKIPPED: an LV2 bundle with $lv2_uri is installed elsewhere: $(lv2info "$lv2_uri" | grep -m1 Bundle)"
  ((failures)) && exit 1
  exit 77
}

echo "--- apt-get install $deb"
before=$(dpkg-query -W -f='${Package}\n' | sort)
touch "$marker"
apt install "$deb"
# Also what came with it, so that restoring removes it too.
comm -13 <(echo "$before") <(dpkg-query -W -f='${Package}\n' | sort) | grep -vx "$package" >"$marker" || true
[[ "$(package_state)" == installed ]] || fail "the package is not installed"

echo "--- the installed tool and plug-ins"
[[ "$(command -v varnoke-render)" == /usr/bin/varnoke-render ]] ||
  fail "varnoke-render on the PATH is $(command -v varnoke-render || echo nothing)"
(cd "$work" && varnoke-render --info) | tee "$work/info.txt" || fail "varnoke-render --info failed"
grep -qx 'Plug-in      /usr/lib/vst/Varnoke.so' "$work/info.txt" || fail "--info did not load /usr/lib/vst/Varnoke.so"
(cd "$work" && varnoke-render -o installed-demo.wav && "$build/bin/varnoke-render" -o built-demo.wav) ||
  fail "rendering the demo failed"
cmp "$work/installed-demo.wav" "$work/built-demo.wav" || fail "the installed tool renders the demo differently"
lv2ls | grep -qx "$lv2_uri" || fail "lv2ls does not list $lv2_uri"
lv2info "$lv2_uri" | grep -q 'file:///usr/lib/lv2/Varnoke.lv2/' || fail "lv2info shows no bundle in /usr/lib/lv2"
VARNOKE_TEST_INSTALLED_VST3=/usr/lib/vst3/Varnoke.vst3 "$format_tests" --gtest_color=no \
  --gtest_filter='InstalledVst3.*' || fail "a VST3 host's scan does not find the installed bundle"

echo "--- apt-get purge $package"
apt purge "$package"
[[ -z "$(package_state)" || "$(package_state)" == not-installed ]] || fail "the package is still there: $(package_state)"
# Every file it carried, and the folders that were its alone (the plug-in
# folders themselves may hold other plug-ins).
for path in $(awk '{ print substr($2, 2) }' <<<"$files") /usr/lib/vst3/Varnoke.vst3 /usr/lib/lv2/Varnoke.lv2 \
  "/usr/share/doc/$package"; do
  [[ -e "$path" ]] && fail "left behind: $path"
done
command -v varnoke-render >/dev/null && fail "varnoke-render is still on the PATH"
lv2ls | grep -qx "$lv2_uri" && fail "lv2ls still lists $lv2_uri"
VARNOKE_TEST_INSTALLED_VST3=none "$format_tests" --gtest_color=no --gtest_filter='InstalledVst3.*' ||
  fail "a VST3 host's scan still finds Varnoke"
[[ -e /usr/lib/vst/Varnoke.so ]] && fail "/usr/lib/vst/Varnoke.so is still there"

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "The package installs, works and goes away cleanly"
