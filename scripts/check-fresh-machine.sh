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
# The root lives in a mount and process namespace of its own: its mounts
# (/proc, /dev and the two caches below, nothing else) and every process in
# it end with the check, also when it is killed, and the root is removed
# afterwards (a root left by a killed run is removed by the next run).
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

skip() {
  echo "SKIPPED: $*"
  [[ "${VARNOKE_FRESH_MACHINE_REQUIRED:-}" == 1 ]] && { echo "FAILED: the check is required here"; exit 1; }
  exit 77
}
for tool in mmdebstrap unshare chroot git flock; do
  command -v "$tool" >/dev/null || skip "the fresh-machine check needs $tool; scripts/install-dependencies.sh test installs it."
done
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    cache=${VARNOKE_FRESH_MACHINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnoke/fresh-machine}
    exec sudo -n env VARNOKE_FRESH_MACHINE_CACHE="$cache" "$0" "${args[@]}"
  fi
  skip "making a Debian root needs root or passwordless sudo"
fi

# Everything below runs in namespaces of its own: a private mount namespace,
# and a process namespace whose processes all end when this script does.
if [[ "${VARNOKE_FRESH_MACHINE_NAMESPACE:-}" != inside ]]; then
  unshare --mount --propagation private --pid --fork --kill-child --mount-proc \
    env VARNOKE_FRESH_MACHINE_NAMESPACE=inside "$0" "${args[@]}" &
  namespace=$!
  # unshare leaves INT and TERM to the check inside, which ends every process
  # there, unmounts and removes the root; a KILL of unshare ends them all too.
  trap 'pkill -TERM -P "$namespace" || true' INT TERM HUP
  status=0
  wait "$namespace" || status=$?
  while kill -0 "$namespace" 2>/dev/null; do
    status=0
    wait "$namespace" || status=$?
  done
  exit "$status"
fi

commit=$(git -C "$repo" rev-parse --verify "$commit^{commit}")
[[ -z "$(git -C "$repo" status --porcelain --untracked-files=no)" ]] ||
  echo "Note: the tree has uncommitted changes; the check uses commit $commit alone."
cache=${VARNOKE_FRESH_MACHINE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/varnoke/fresh-machine}
mkdir -p "$cache/apt-archives/partial" "$cache/ccache" "$cache/roots"
# One check at a time per cache; with the lock held, any root found is a
# killed run's (its namespaces, and so its mounts, ended with it).
exec {lock}>"$cache/lock"
flock "$lock"

user=newcomer
uid=4242
started=$SECONDS
step() {
  printf '\n--- %s (at %d s)\n' "$*" $((SECONDS - started))
}
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Removes a root, never crossing into a file system mounted below it.
remove_root() {
  local dir=$1
  [[ -d "$dir" ]] || return 0
  local mounted
  mounted=$(findmnt -rn -o TARGET | awk -v dir="$dir" 'index($0, dir "/") == 1 || $0 == dir')
  if [[ -n "$mounted" ]]; then
    echo "Not removing $dir: still mounted there: $mounted" >&2
    return 1
  fi
  rm -rf --one-file-system "$dir"
}
for stale in "$cache"/roots/*; do
  [[ -d "$stale" ]] || continue
  echo "Removing a root left by a killed run: $stale"
  remove_root "$stale"
done

root=$(mktemp -d "$cache/roots/root.XXXXXX")
chmod 755 "$root"
cleanup() {
  local status=$?
  # This script is the first process of its process namespace: every other
  # process in it (a build in the root, apt) ends here, before the root goes.
  if (($$ == 1)); then
    kill -KILL -1 2>/dev/null || true
    wait 2>/dev/null || true
  fi
  findmnt -rn -o TARGET | awk -v dir="$root" 'index($0, dir "/") == 1' | sort -r | while read -r target; do
    umount -l "$target" || true
  done
  remove_root "$root" || status=1
  exit "$status"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

# Runs a long step in the background and waits for it, so that a signal
# reaches this script's trap at once instead of after the step.
interruptibly() {
  "$@" &
  wait $!
}

# In the root: as root, or as the new user with a login shell.
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive "$@"
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
# The machine's source files, as apt reads them.
source_list=
source_parts=
eval "$(apt-config shell source_list Dir::Etc::SourceList/f source_parts Dir::Etc::SourceParts/d)"
sources=()
[[ -n "$source_list" && -s "$source_list" ]] && sources+=("$source_list")
for file in "${source_parts%/}"/*.list "${source_parts%/}"/*.sources; do
  name=$(basename "$file")
  [[ -f "$file" && "$name" =~ ^[A-Za-z0-9_.-]+$ && "$name" != varnoke-deb-src.* ]] && sources+=("$file")
done
((${#sources[@]})) || { echo "apt reads no source file on this machine" >&2; exit 1; }
# The options with which this machine reaches them (proxies, release-file dates).
aptopts=()
while IFS= read -r option; do
  aptopts+=(--aptopt="$option")
done < <(apt-config dump | grep -E '^Acquire::((Check-Valid-Until|Check-Date)|(http|https|ftp)::Proxy)( |::)' || true)
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
interruptibly mmdebstrap --quiet --variant=minbase --include=ca-certificates,git,sudo "${aptopts[@]}" \
  --skip=essential/unlink --skip=cleanup/apt/cache \
  --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
  --setup-hook="mount --bind '$cache/apt-archives' \"\$1/var/cache/apt/archives\"" \
  "$suite" "$root" "${sources[@]}"
# Name resolution as on this machine, for apt inside.
cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

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
