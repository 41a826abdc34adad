#!/usr/bin/env bash
# The README's first command on a new machine, and the Debian package on it.
#
# Makes a throwaway minimal Debian root with mmdebstrap from this machine's
# own apt configuration (its source files and the Acquire options that reach
# the archives), with nothing in it but git, sudo and ca-certificates; clones
# the commit under test into it and runs scripts/demo.sh there as a new user
# with sudo, then checks the demo's outputs. With --deb it then installs that
# Debian package into the same root with apt-get, checks that the tool on the
# PATH renders, that lv2ls and lv2info find the LV2 bundle and that a VST3
# host's default scan finds the VST3 bundle, purges it and checks that nothing
# of it is left. Nothing is installed on this machine.
#
# The root lives in a mount and process namespace of its own
# (scripts/lib/throwaway-root.sh): its mounts (/proc, /dev and the two caches
# below, nothing else) and every process in it end with the check, also when
# it is killed, and the root is removed afterwards (a root left by a killed
# run is removed by the next run).
# Downloads and compilations are kept for the next run: apt's archive and
# ccache's folder are bind-mounted from CACHE_DIR
# (VARNOKE_FRESH_MACHINE_CACHE, default ~/.cache/varnoke/fresh-machine).
#
# Usage: scripts/check-fresh-machine.sh [--commit REV] [--render VARNOKE_RENDER]
#          [--deb FILE --lv2-uri URI --format-tests PROGRAM]
#   --commit        what to clone (default HEAD; uncommitted changes are not in it)
#   --render        a varnoke-render built here: the new machine's demo, and the
#                   installed tool's, must equal its output bit for bit
#   --deb           the package to install (scripts/package.sh deb builds it)
#   --lv2-uri       the LV2 plug-in's URI
#   --format-tests  the program with the InstalledVst3 tests (tests/formats)
# Needs root or passwordless sudo; exits 77 (skipped) without them or without
# mmdebstrap (scripts/install-dependencies.sh test installs it), or fails then
# when VARNOKE_FRESH_MACHINE_REQUIRED=1 (CI).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
usage="usage: check-fresh-machine.sh [--commit REV] [--render PROGRAM] [--deb FILE --lv2-uri URI --format-tests PROGRAM]"

commit=HEAD
render=
deb=
lv2_uri=
format_tests=
args=("$@")
while (($#)); do
  case "$1" in
    --commit) commit=${2:?$usage} ;;
    --render) render=$(realpath "${2:?$usage}") ;;
    --deb) deb=$(realpath "${2:?$usage}") ;;
    --lv2-uri) lv2_uri=${2:?$usage} ;;
    --format-tests) format_tests=$(realpath "${2:?$usage}") ;;
    *)
      echo "$usage" >&2
      exit 2
      ;;
  esac
  shift 2
done
if [[ -n "$deb" && (-z "$lv2_uri" || -z "$format_tests") ]]; then
  echo "--deb needs --lv2-uri and --format-tests: $usage" >&2
  exit 2
fi

required_variable=VARNOKE_FRESH_MACHINE_REQUIRED
cache_variable=VARNOKE_FRESH_MACHINE_CACHE
cache=${VARNOKE_FRESH_MACHINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnoke/fresh-machine}
# shellcheck source=lib/throwaway-root.sh
. "$repo/scripts/lib/throwaway-root.sh"
require_root_tools git
enter_namespaces "${args[@]}"

commit=$(git -C "$repo" rev-parse --verify "$commit^{commit}")
[[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ]] ||
  echo "Note: the tree has uncommitted changes; the check uses commit $commit alone."
mkdir -p "$cache/ccache"
prepare_root_folder

user=newcomer
uid=4242
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

as_user() {
  chroot "$root" runuser -l "$user" -c "$1"
}
apt_in_root() {
  in_root apt-get -y -q -o Dpkg::Use-Pty=0 "$@" >"$root/tmp/apt.log" 2>&1 || {
    tail -n 30 "$root/tmp/apt.log"
    return 1
  }
}

step "making a minimal Debian root with mmdebstrap"
make_debian_root --include=ca-certificates,git,sudo

step "a new user with sudo, and the commit under test cloned into the home"
in_root useradd --create-home --uid "$uid" --user-group --shell /bin/bash "$user"
printf '%s ALL=(ALL) NOPASSWD: ALL\n' "$user" >"$root/etc/sudoers.d/$user"
chmod 440 "$root/etc/sudoers.d/$user"
home=$root/home/$user
git clone --quiet --no-hardlinks --no-checkout "$repo" "$home/varnoke"
git -C "$home/varnoke" checkout --quiet --detach "$commit"
mkdir -p "$home/.cache/ccache"
chown -R "$uid:$uid" "$home"
[[ "$(stat -c %u "$cache/ccache")" == "$uid" ]] || chown -R "$uid:$uid" "$cache/ccache"
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind "$cache/ccache" "$home/.cache/ccache"

step "scripts/demo.sh in the new root, as $user"
if interruptibly as_user 'cd ~/varnoke && scripts/demo.sh' >"$cache/demo.log" 2>&1; then
  tail -n 16 "$cache/demo.log"
else
  tail -n 60 "$cache/demo.log"
  fail "scripts/demo.sh failed on a fresh machine (the whole output: $cache/demo.log)"
fi

step "the demo's outputs"
demo=$home/varnoke/build-release/demo
for file in varnoke-demo-dry.wav varnoke-demo.wav; do
  [[ -s "$demo/$file" && "$(head -c 4 "$demo/$file")" == RIFF ]] || fail "no WAV file $file"
done
[[ -s "$demo/varnoke-response.png" && "$(head -c 4 "$demo/varnoke-response.png" | tail -c 3)" == PNG ]] ||
  fail "no PNG plot varnoke-response.png"
work=$root/tmp/check
mkdir -p "$work"
if [[ -n "$render" ]]; then
  "$repo/scripts/render-demo.sh" "$render" "$work/reference" >/dev/null
  for file in varnoke-demo-dry.wav varnoke-demo.wav; do
    cmp -s "$demo/$file" "$work/reference/$file" || fail "$file differs from this machine's render"
  done
fi

if [[ -n "$deb" ]]; then
  package=$(dpkg-deb -f "$deb" Package)
  step "the Debian package: what the checks bring, then apt-get install ./$(basename "$deb")"
  # The checks' own tools and the libraries of the VST3 scanning host,
  # before the package, so that only the package's own dependencies follow it.
  libraries=()
  while read -r library; do
    owner=$(dpkg -S "$library" 2>/dev/null || dpkg -S "${library#/usr}" 2>/dev/null || dpkg -S "/usr$library" 2>/dev/null) ||
      continue
    libraries+=("${owner%%: *}")
  done < <(ldd "$format_tests" | awk '$3 ~ /^\// { print $3 }')
  mapfile -t libraries < <(printf '%s\n' "${libraries[@]}" | tr ', ' '\n\n' | grep -v '^$' | sort -u)
  apt_in_root install --no-install-recommends lilv-utils "${libraries[@]}"
  cp "$deb" "$format_tests" "$work/"
  chmod -R a+rX "$work"
  before=$(in_root dpkg-query -W -f='${Package}\n' | sort)
  apt_in_root install --no-install-recommends "/tmp/check/$(basename "$deb")" || fail "apt-get install of the package failed"
  [[ "$(in_root dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)" == installed ]] ||
    fail "the package is not installed"

  step "the installed tool and plug-ins, as $user"
  [[ "$(as_user 'command -v varnoke-render')" == /usr/bin/varnoke-render ]] ||
    fail "varnoke-render on the PATH is not /usr/bin/varnoke-render"
  info=$(as_user 'cd /tmp && varnoke-render --info') || fail "varnoke-render --info failed"
  echo "$info"
  grep -qx 'Plug-in      /usr/lib/vst/Varnoke.so' <<<"$info" || fail "--info did not load /usr/lib/vst/Varnoke.so"
  as_user 'cd /tmp && varnoke-render -o /tmp/installed-demo.wav' >/dev/null || fail "the installed tool did not render the demo"
  if [[ -n "$render" ]]; then
    "$render" -o "$work/built-demo.wav" >/dev/null
    cmp -s "$root/tmp/installed-demo.wav" "$work/built-demo.wav" || fail "the installed tool renders the demo differently"
  fi
  as_user 'lv2ls' | grep -qx "$lv2_uri" || fail "lv2ls does not list $lv2_uri"
  as_user "lv2info '$lv2_uri'" | grep -q 'file:///usr/lib/lv2/Varnoke.lv2/' || fail "lv2info shows no bundle in /usr/lib/lv2"
  scan="/tmp/check/$(basename "$format_tests") --gtest_color=no --gtest_filter='InstalledVst3.*'"
  # The scan must have run, not skipped.
  scanned() {
    as_user "VARNOKE_TEST_INSTALLED_VST3=$1 $scan" >"$work/scan.log" 2>&1 &&
      grep -q '^\[  PASSED  \] 1 test' "$work/scan.log" || {
      cat "$work/scan.log"
      return 1
    }
  }
  scanned /usr/lib/vst3/Varnoke.vst3 || fail "a VST3 host's default scan does not find the installed bundle"

  step "apt-get purge $package, and what came with it"
  apt_in_root purge "$package" || fail "apt-get purge failed"
  apt_in_root autoremove --purge || fail "apt-get autoremove failed"
  [[ "$(in_root dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)" =~ ^(not-installed)?$ ]] ||
    fail "the package is still there"
  [[ "$(in_root dpkg-query -W -f='${Package}\n' | sort)" == "$before" ]] ||
    fail "the installed packages differ from before the install: $(diff <(echo "$before") <(in_root dpkg-query -W -f='${Package}\n' | sort) | grep '^[<>]' | tr '\n' ' ')"
  while read -r path; do
    [[ -e "$root/$path" ]] && fail "left behind: /$path"
  done < <(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 3) }')
  for path in usr/lib/vst3/Varnoke.vst3 usr/lib/lv2/Varnoke.lv2 "usr/share/doc/$package" usr/lib/vst/Varnoke.so; do
    [[ -e "$root/$path" ]] && fail "left behind: /$path"
  done
  as_user 'command -v varnoke-render' >/dev/null && fail "varnoke-render is still on the PATH"
  as_user 'lv2ls' | grep -qx "$lv2_uri" && fail "lv2ls still lists $lv2_uri"
  scanned none || fail "a VST3 host's scan still finds Varnoke"
fi

step "done"
if ((failures)); then
  echo "$failures check(s) failed on the fresh machine"
  exit 1
fi
echo "A fresh Debian root builds and plays the demo$([[ -n "$deb" ]] && echo ", and installs, uses and purges the package")"
