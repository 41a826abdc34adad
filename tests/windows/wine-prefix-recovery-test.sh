#!/usr/bin/env bash
# The Windows tests pass whatever state an earlier failed start of Wine left the
# prefix in, and fail (rather than skip) when an installed Wine cannot start.
# Each shape of prefix below is made in SCRATCH_DIR, then the Windows test host
# runs with it through run-windows-host-tests.sh.
# Usage: wine-prefix-recovery-test.sh WINDOWS_BUILD_DIR SCRATCH_DIR
# Exits 77 (skipped) when Wine is not installed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: wine-prefix-recovery-test.sh WINDOWS_BUILD_DIR SCRATCH_DIR}
scratch=${2:?usage: wine-prefix-recovery-test.sh WINDOWS_BUILD_DIR SCRATCH_DIR}

if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  echo "SKIPPED: Wine is not installed; scripts/install-dependencies.sh test installs it."
  exit 77
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
failures=0

fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Shapes of prefix, each made at $1.
make_no_prefix() { :; }

# What a first start that died early leaves: Wine's update stamp is current, so
# Wine does not mend the prefix, but system32 holds only winedevice.exe.
make_system32_only_prefix() {
  local winedevice wine_inf
  winedevice=$(find /usr/lib -path '*/wine/x86_64-windows/winedevice.exe' -print -quit)
  wine_inf=$(find /usr/share -path '*/wine/wine.inf' -print -quit)
  [[ -n "$winedevice" && -n "$wine_inf" ]] || return 1
  mkdir -p "$1/drive_c/windows/system32"
  cp "$winedevice" "$1/drive_c/windows/system32/"
  stat -c %Y "$wine_inf" >"$1/.update-timestamp"
}

# A prefix created for 32-bit Windows (whole where Wine's 32-bit part is
# installed, half-made where it is not): 64-bit programs cannot run in it.
make_32_bit_prefix() {
  WINEPREFIX=$1 WINEARCH=win32 timeout 300 wine wineboot --init >/dev/null 2>&1
  WINEPREFIX=$1 timeout 300 wineserver -w >/dev/null 2>&1
  grep -qx '#arch=win32' "$1/system.reg"
}

# Fails (without running the tests) when the shape is not what it is meant to be.
expect_broken() {
  local output
  output=$(cd "$scratch" && WINEPREFIX=$1 WINEARCH='' timeout 120 wine cmd.exe /c echo still-runs 2>&1)
  if [[ "$output" == *still-runs* ]]; then
    echo "the prefix made for the case runs programs: $output"
    return 1
  fi
}

cases=(
  "no prefix:make_no_prefix:"
  "only winedevice.exe in system32:make_system32_only_prefix:expect_broken"
  "a 32-bit prefix:make_32_bit_prefix:expect_broken"
)
index=0
for case in "${cases[@]}"; do
  IFS=: read -r name make check <<<"$case"
  index=$((index + 1))
  prefix=$scratch/case-$index/wine-prefix
  mkdir -p "$scratch/case-$index"
  if ! "$make" "$prefix" || { [[ -n "$check" ]] && ! "$check" "$prefix"; }; then
    fail "$name: could not make the prefix of this case"
    continue
  fi
  echo "=== $name"
  "$here/run-windows-host-tests.sh" "$build" "$prefix" "$scratch/case-$index/artifacts" >"$scratch/case-$index/output.log" 2>&1
  status=$?
  if ((status != 0)); then
    tail -n 40 "$scratch/case-$index/output.log"
    fail "$name: the Windows tests ended with status $status (log: $scratch/case-$index/output.log)"
  fi
  WINEPREFIX=$prefix timeout 60 wineserver -k >/dev/null 2>&1
done

# A whole prefix is kept as it is.
whole=$scratch/case-1/wine-prefix
if [[ -f "$whole/system.reg" ]]; then
  touch "$whole/kept-marker"
  "$here/wine-prefix.sh" "$whole" >"$scratch/kept.log" 2>&1 || fail "a whole prefix: the check failed: $(cat "$scratch/kept.log")"
  [[ -f "$whole/kept-marker" ]] || fail "a whole prefix was made anew: $(cat "$scratch/kept.log")"
  WINEPREFIX=$whole timeout 60 wineserver -k >/dev/null 2>&1
fi

# A Wine that is installed but cannot start fails the tests with a message that says so.
fake_bin=$scratch/wine-that-cannot-start
mkdir -p "$fake_bin"
for program in wine wineserver; do
  printf '#!/bin/sh\necho "%s: simulated failure to start" >&2\nexit 1\n' "$program" >"$fake_bin/$program"
  chmod +x "$fake_bin/$program"
done
output=$(PATH=$fake_bin:$PATH "$here/run-windows-host-tests.sh" "$build" "$scratch/no-start/wine-prefix" \
  "$scratch/no-start/artifacts" 2>&1)
status=$?
if ((status == 0 || status == 77)); then
  fail "a Wine that cannot start: the Windows tests ended with status $status instead of failing"
fi
for expected in "Wine is installed but cannot start" "cannot make a working 64-bit prefix" \
  "output of attempt 1" "output of attempt 2" "wine: simulated failure to start"; do
  [[ "$output" == *"$expected"* ]] || fail "a Wine that cannot start: no \"$expected\" in the output: $output"
done

if ((failures)); then
  echo "$failures failure(s); the prefixes stay in $scratch"
  exit 1
fi
# A prefix takes hundreds of megabytes; the logs and artifacts stay.
rm -rf "$scratch"/case-*/wine-prefix
echo "The Windows tests pass from every shape of prefix, and fail when Wine cannot start"
