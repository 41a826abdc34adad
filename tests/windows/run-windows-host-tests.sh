#!/usr/bin/env bash
# Brings the Windows build up to date and runs its test host under Wine on a
# virtual display. The test host writes its artifacts (the editor pictures, the
# output of the fixed test programme) to WINDOWS_BUILD_DIR/test-artifacts.
# Usage: run-windows-host-tests.sh WINDOWS_BUILD_DIR [WINE_PREFIX [ARTIFACTS_DIR]]
#   (defaults: WINDOWS_BUILD_DIR/wine-prefix and WINDOWS_BUILD_DIR/test-artifacts)
# Exits 77 (skipped) when mingw-w64 or Wine is not installed, and fails when an
# installed Wine cannot start.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: run-windows-host-tests.sh WINDOWS_BUILD_DIR [WINE_PREFIX [ARTIFACTS_DIR]]"
build=${1:?$usage}

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (g++-mingw-w64-x86-64-posix)")
command -v wine >/dev/null || missing+=("Wine (wine, wine64)")
command -v xvfb-run >/dev/null || missing+=("xvfb")
if ((${#missing[@]})); then
  echo "SKIPPED: the Windows plug-in tests need ${missing[*]}; scripts/install-dependencies.sh test installs them."
  exit 77
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)
wine_prefix=${2:-$build/wine-prefix}
mkdir -p "$(dirname "$wine_prefix")"
wine_prefix=$(cd "$(dirname "$wine_prefix")" && pwd)/$(basename "$wine_prefix")
artifacts=${3:-$build/test-artifacts}
log=$build/build-windows.log
if ! "$root/scripts/build-windows.sh" "$build" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "The Windows build failed (full log: $log)"
  exit 1
fi

# The prefix is made (or mended) as a step of its own, so that a failed first
# start of Wine never sticks.
if ! "$here/wine-prefix.sh" "$wine_prefix"; then
  echo "Wine is installed but cannot start: the Windows tests cannot run"
  exit 1
fi

mkdir -p "$artifacts"
artifacts=$(cd "$artifacts" && pwd)
rm -f "$artifacts"/windows-output*.f32 "$artifacts"/windows-editor*.bmp "$artifacts"/windows-editor*.png

export WINEPREFIX=$wine_prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64

cd "$artifacts"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  wine "$build/tests/windows/varnoke_windows_host_tests.exe" --gtest_color=no || status=$?

# The output once more with each kernel forced; a kernel this processor cannot
# run falls back to the widest it can, and the Linux comparison skips it.
for kernel in sse2 avx2 avx512; do
  VARNOKE_KERNEL=$kernel xvfb-run -a -s "-screen 0 1280x1024x24" \
    wine "$build/tests/windows/varnoke_windows_host_tests.exe" --gtest_color=no \
    --gtest_filter='WindowsOutput.*' || status=$?
done

# PNG copies of the pictures where ImageMagick is at hand.
if command -v convert >/dev/null; then
  for picture in windows-editor*.bmp; do
    [[ -f "$picture" ]] && convert "$picture" "${picture%.bmp}.png" || true
  done
fi
exit "$status"
