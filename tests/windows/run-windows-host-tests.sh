#!/usr/bin/env bash
# Brings the Windows build up to date and runs its test host under Wine on a
# virtual display. The test host writes its artifacts (the editor pictures, the
# output of the fixed test programme) to WINDOWS_BUILD_DIR/test-artifacts.
# Usage: run-windows-host-tests.sh WINDOWS_BUILD_DIR
# Exits 77 (skipped) when mingw-w64 or Wine is not installed.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: run-windows-host-tests.sh WINDOWS_BUILD_DIR}

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (g++-mingw-w64-x86-64-posix)")
command -v wine >/dev/null || missing+=("Wine (wine, wine64)")
command -v xvfb-run >/dev/null || missing+=("xvfb")
if ((${#missing[@]})); then
  echo "SKIPPED: the Windows plug-in tests need ${missing[*]}; tools/install-dependencies.sh test installs them."
  exit 77
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)
log=$build/build-windows.log
if ! "$root/tools/build-windows.sh" "$build" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "The Windows build failed (full log: $log)"
  exit 1
fi

artifacts=$build/test-artifacts
mkdir -p "$artifacts"
rm -f "$artifacts"/windows-output.f32 "$artifacts"/windows-editor*.bmp "$artifacts"/windows-editor*.png

export WINEPREFIX=$build/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64

cd "$artifacts"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  wine "$build/tests/windows/varnoke_windows_host_tests.exe" --gtest_color=no || status=$?

# PNG copies of the pictures where ImageMagick is at hand.
if command -v convert >/dev/null; then
  for picture in windows-editor*.bmp; do
    [[ -f "$picture" ]] && convert "$picture" "${picture%.bmp}.png" || true
  done
fi
exit "$status"
