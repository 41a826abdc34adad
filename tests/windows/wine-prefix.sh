#!/usr/bin/env bash
# Makes sure PREFIX is a whole 64-bit Wine prefix, and makes it anew when it is
# not. Wine leaves a half-made prefix behind when its first start fails (only a
# few files in system32, or a 32-bit prefix), and then fails the same way at
# every later start; so a prefix that does not pass the check is deleted and
# created again, once more if the first attempt fails too.
# Usage: wine-prefix.sh PREFIX
# Exits 0 when PREFIX is whole, 1 (after printing both attempts' output) when
# Wine cannot make a working prefix. The caller decides what a missing Wine means.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers.
export WINEDLLOVERRIDES="mscoree=;mshtml="

token=varnoke-wine-runs

# Prints why the prefix is not whole, or nothing when it is.
prefix_fault() {
  if [[ ! -d "$prefix" ]]; then
    echo "there is no prefix yet"
  elif [[ ! -f "$prefix/system.reg" ]]; then
    echo "$prefix has no system.reg"
  elif ! grep -qx '#arch=win64' "$prefix/system.reg"; then
    echo "$prefix is not a 64-bit prefix ($(grep -m1 '^#arch=' "$prefix/system.reg" || echo 'no #arch line'))"
  elif [[ ! -f "$prefix/drive_c/windows/system32/kernel32.dll" ]]; then
    echo "$prefix has no kernel32.dll in system32"
  else
    local output
    if ! output=$(timeout 120 wine cmd.exe /c echo "$token" 2>&1) || [[ "$output" != *"$token"* ]]; then
      echo "a trivial program does not run in $prefix: ${output:-no output}"
    fi
  fi
}

# Deletes the prefix (after stopping its server) and creates it with wineboot;
# the output goes to LOG.
create_prefix() {
  local log=$1
  timeout 60 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
  {
    echo "wineboot --init in $prefix"
    timeout 300 wine wineboot --init && timeout 300 wineserver -w || echo "wineboot failed with status $?"
  } >"$log" 2>&1
}

fault=$(prefix_fault)
[[ -z "$fault" ]] && exit 0

rm -f "$prefix".attempt-*.log
for attempt in 1 2; do
  echo "Creating the Wine prefix $prefix (attempt $attempt): $fault"
  log=$prefix.attempt-$attempt.log
  create_prefix "$log"
  fault=$(prefix_fault)
  if [[ -z "$fault" ]]; then
    rm -f "$log"
    exit 0
  fi
  # The failed attempt's output stays beside the prefix and in the caller's log.
  echo "check after attempt $attempt: $fault" >>"$log"
  echo "--- output of attempt $attempt ($log)"
  cat "$log"
  echo "---"
done

echo "Wine ($(command -v wine)) cannot make a working 64-bit prefix in $prefix: $fault"
exit 1
