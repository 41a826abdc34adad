# Sourced by the scripts that work in a throwaway Debian root made with
# mmdebstrap from this machine's own apt configuration
# (scripts/check-fresh-machine.sh, scripts/build-arm64.sh). The root lives in
# a mount and process namespace of its own: its mounts and every process in it
# end with the script, also when it is killed, and the root is removed
# afterwards (a root left by a killed run is removed by the next run). apt's
# archives are kept for the next run in CACHE/apt-archives. Nothing is
# installed on this machine, and its configuration is not changed.
#
# The sourcing script sets, before calling these:
#   required_variable  the environment variable that turns a skip into a failure
#   cache              the folder of the caches, the lock and the roots
#   cache_variable     the environment variable that names that folder

skip() {
  echo "SKIPPED: $*"
  [[ "${!required_variable:-}" == 1 ]] && { echo "FAILED: the check is required here"; exit 1; }
  exit 77
}

# Skips without mmdebstrap and the tools around the root.
require_root_tools() {
  local tool
  for tool in mmdebstrap unshare chroot flock "$@"; do
    command -v "$tool" >/dev/null || skip "$(basename "$0") needs $tool; scripts/install-dependencies.sh test installs it."
  done
}

# Runs the calling script again as root (through passwordless sudo) and then
# in namespaces of its own: a private mount namespace, and a process namespace
# whose processes all end when the script does. Returns in the script run
# inside; the outer ones exit with its status. Usage: enter_namespaces "$@"
enter_namespaces() {
  if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
      exec sudo -n env "$cache_variable=$cache" "$required_variable=${!required_variable:-}" "$0" "$@"
    fi
    skip "making a Debian root needs root or passwordless sudo"
  fi
  [[ "${VARNOKE_ROOT_NAMESPACE:-}" == inside ]] && return 0
  unshare --mount --propagation private --pid --fork --kill-child --mount-proc \
    env VARNOKE_ROOT_NAMESPACE=inside "$0" "$@" &
  local namespace=$! status=0
  # unshare leaves INT and TERM to the script inside, which ends every process
  # there, unmounts and removes the root; a KILL of unshare ends them all too.
  trap 'pkill -TERM -P "$namespace" || true' INT TERM HUP
  wait "$namespace" || status=$?
  while kill -0 "$namespace" 2>/dev/null; do
    status=0
    wait "$namespace" || status=$?
  done
  exit "$status"
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

# Takes the cache's lock (one run at a time per cache), removes the roots of
# killed runs, and makes an empty folder for the new root in $root; the root
# goes when the script exits.
prepare_root_folder() {
  mkdir -p "$cache/apt-archives/partial" "$cache/roots"
  exec {root_lock}>"$cache/lock"
  flock "$root_lock"
  local stale
  for stale in "$cache"/roots/*; do
    [[ -d "$stale" ]] || continue
    echo "Removing a root left by a killed run: $stale"
    remove_root "$stale"
  done
  root=$(mktemp -d "$cache/roots/root.XXXXXX")
  chmod 755 "$root"
  trap cleanup_root EXIT
  trap 'exit 1' INT TERM HUP
}

cleanup_root() {
  local status=$?
  # The script is the first process of its process namespace: every other
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

# Runs a long step in the background and waits for it, so that a signal
# reaches the script's trap at once instead of after the step.
interruptibly() {
  "$@" &
  wait $!
}

started=$SECONDS
step() {
  printf '\n--- %s (at %d s)\n' "$*" $((SECONDS - started))
}

# Makes a minimal Debian root of this machine's release in $root with
# mmdebstrap, from the machine's source files as apt reads them and the options
# with which it reaches them (proxies, release-file dates); apt's downloads go
# to and come from CACHE/apt-archives. The arguments are mmdebstrap's
# (--include=..., --architectures=...).
make_debian_root() {
  local source_list= source_parts= file name option suite
  eval "$(apt-config shell source_list Dir::Etc::SourceList/f source_parts Dir::Etc::SourceParts/d)"
  local sources=()
  [[ -n "$source_list" && -s "$source_list" ]] && sources+=("$source_list")
  for file in "${source_parts%/}"/*.list "${source_parts%/}"/*.sources; do
    name=$(basename "$file")
    [[ -f "$file" && "$name" =~ ^[A-Za-z0-9_.-]+$ && "$name" != varnoke-deb-src.* ]] && sources+=("$file")
  done
  ((${#sources[@]})) || { echo "apt reads no source file on this machine" >&2; return 1; }
  local aptopts=()
  while IFS= read -r option; do
    aptopts+=(--aptopt="$option")
  done < <(apt-config dump | grep -E '^Acquire::((Check-Valid-Until|Check-Date)|(http|https|ftp)::Proxy)( |::)' || true)
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  interruptibly mmdebstrap --quiet --variant=minbase "$@" "${aptopts[@]}" \
    --skip=essential/unlink --skip=cleanup/apt/cache \
    --setup-hook='mkdir -p "$1/var/cache/apt/archives"' \
    --setup-hook="mount --bind '$cache/apt-archives' \"\$1/var/cache/apt/archives\"" \
    "$suite" "$root" "${sources[@]}"
  # Name resolution as on this machine, for apt inside.
  cp -L /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
}

# In the root, as root.
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive "$@"
}
