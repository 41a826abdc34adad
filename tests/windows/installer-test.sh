#!/usr/bin/env bash
# The Windows installer as a user runs it, under Wine in a fresh prefix:
# a silent install puts Varnoke.dll and the Varnoke.vst3 bundle where hosts
# scan, the factory presets' .fxp files beside the DLL, and lists the product
# among the installed programs; the Windows test
# host loads the installed DLL from there and its output equals Varnoke.so's
# bit for bit; a silent uninstall leaves no file, folder or registry entry.
# Once more with another VST 2 folder, as the installer's directory page
# allows; there a preset the user saved among the factory ones stays.
# Usage: installer-test.sh WINDOWS_BUILD_DIR LINUX_DLL_TESTS WORK_DIR PRODUCT VENDOR VERSION
#   LINUX_DLL_TESTS: the Linux program that compares a Windows output with Varnoke.so's.
# Exits 77 (skipped) when mingw-w64, Wine or makensis is not installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: installer-test.sh WINDOWS_BUILD_DIR LINUX_DLL_TESTS WORK_DIR PRODUCT VENDOR VERSION"
build=${1:?$usage}
linux_dll_tests=${2:?$usage}
work=${3:?$usage}
product=${4:?$usage}
vendor=${5:?$usage}
version=${6:?$usage}

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("mingw-w64 (g++-mingw-w64-x86-64-posix)")
command -v wine >/dev/null || missing+=("Wine (wine, wine64)")
command -v xvfb-run >/dev/null || missing+=("xvfb")
command -v makensis >/dev/null || missing+=("makensis (nsis)")
if ((${#missing[@]})); then
  echo "SKIPPED: the installer tests need ${missing[*]}; scripts/install-dependencies.sh test installs them."
  exit 77
fi

mkdir -p "$build" "$work"
build=$(cd "$build" && pwd)
work=$(cd "$work" && pwd)
log=$work/build-windows.log
if ! "$root/scripts/build-windows.sh" "$build" >"$log" 2>&1; then
  tail -n 60 "$log"
  echo "The Windows build failed (full log: $log)"
  exit 1
fi
installer=$build/packages/$product-$version-setup.exe
[[ -f "$installer" ]] || { echo "The Windows build wrote no $installer"; exit 1; }

prefix=$work/wine-prefix
export WINEPREFIX=$prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINEARCH=win64

# A fresh prefix: nothing of an earlier run may count as installed.
timeout 60 wineserver -k >/dev/null 2>&1 || true
rm -rf "$prefix"
if ! "$here/wine-prefix.sh" "$prefix"; then
  echo "Wine is installed but cannot start: the installer cannot be tested"
  exit 1
fi
cleanup() {
  timeout 60 wineserver -k >/dev/null 2>&1 || true
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

drive_c=$prefix/drive_c
vst2_folder=$drive_c/Program\ Files/VSTPlugins
vst3_folder=$drive_c/Program\ Files/Common\ Files/VST3
program_folder=$drive_c/Program\ Files/$vendor/$product
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"

# What of the product is anywhere in the prefix: files and folders by name, and
# any file in the temporary folders the uninstaller runs a copy of itself from.
# (That copy is deleted at the next restart; the empty folder it leaves in the
# user's temporary folder is NSIS's, not the product's.)
leftovers() {
  find "$drive_c" \( -iname "*$product*" -o -iname "$vendor" -o -ipath "$vst2_folder" -o -ipath "$vst3_folder" \) -print
  find "$drive_c" -ipath '*/~nsu*.tmp/*' -print
}
[[ -z "$(leftovers)" ]] || fail "the fresh prefix already holds: $(leftovers)"

# Wine starts an installer or uninstaller and returns; wineserver -w waits until it is done.
wine "$installer" /S || fail "the silent install ended with status $?"
timeout 300 wineserver -w

echo "--- installed files"
cmp "$build/plugin/$product.dll" "$vst2_folder/$product.dll" || fail "$product.dll is not installed in VSTPlugins"
diff -r "$build/VST3/$product.vst3" "$vst3_folder/$product.vst3" || fail "the VST3 bundle is not installed whole"
diff -r "$build/presets/fxp" "$vst2_folder/$product Presets" || fail "the factory presets are not installed beside the DLL"
[[ -f "$program_folder/Uninstall $product.exe" ]] || fail "no uninstaller in $program_folder"

echo "--- the entry among the installed programs"
entry=$(wine reg query "$uninstall_key" /reg:64 2>&1 | tr -d '\r') || fail "no registry key $uninstall_key"
echo "$entry"
# The value of NAME in the reg query output, or nothing.
value() {
  awk -v name="$1" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+[^ \t]+[ \t]+/, ""); print }' <<<"$entry"
}
expect_value() {
  local actual
  actual=$(value "$1")
  [[ "$actual" == "$2" ]] || fail "$1 is '$actual', expected '$2'"
}
expect_value DisplayName "$product"
expect_value Publisher "$vendor"
expect_value DisplayVersion "$version"
uninstaller_path="C:\\Program Files\\$vendor\\$product\\Uninstall $product.exe"
expect_value UninstallString "\"$uninstaller_path\""
expect_value QuietUninstallString "\"$uninstaller_path\" /S"
# EstimatedSize is in KiB: at least what the DLL alone takes.
size=$(value EstimatedSize)
dll_kib=$(($(stat -c %s "$build/plugin/$product.dll") / 1024))
[[ "$size" =~ ^0x[0-9a-f]+$ ]] && ((size >= dll_kib)) || fail "EstimatedSize is '$size', the DLL alone takes $dll_kib KiB"

echo "--- the installed DLL in the Windows test host"
artifacts=$work/artifacts
rm -rf "$artifacts"
mkdir -p "$artifacts"
installed_dll="C:\\Program Files\\VSTPlugins\\$product.dll"
(
  cd "$artifacts"
  VARNOKE_TEST_PLUGIN_DLL=$installed_dll VARNOKE_TEST_INSTALLER=$(winepath -w "$installer") \
    xvfb-run -a -s "-screen 0 1280x1024x24" \
    wine "$build/tests/windows/varnoke_windows_host_tests.exe" --gtest_color=no \
    --gtest_filter='WindowsOutput.*:ModuleExport.*:VersionResourceTest.*:InstallerIdentityTest.*'
) || fail "the Windows test host failed with the installed DLL"
if [[ -f "$artifacts/windows-output.f32" ]]; then
  VARNOKE_WINDOWS_OUTPUT=$artifacts/windows-output.f32 "$linux_dll_tests" --gtest_color=no \
    --gtest_filter='WindowsDllTest.OutputUnderWineEqualsTheLinuxBuildBitForBit' |
    tee "$work/compare.log" || fail "the installed DLL's output differs from Varnoke.so's"
  grep -q '^\[  PASSED  \] 1 test' "$work/compare.log" || fail "the comparison with Varnoke.so did not run"
else
  fail "the Windows test host wrote no output of the installed DLL"
fi

echo "--- silent uninstall"
wine "$uninstaller_path" /S || fail "the silent uninstall ended with status $?"
timeout 300 wineserver -w
# The uninstaller runs from a copy of itself in the temporary folder, which it
# leaves to be deleted at the next restart (as on Windows): restart.
timeout 300 wine wineboot --restart >/dev/null 2>&1 || fail "wineboot --restart ended with status $?"
timeout 300 wineserver -w
left=$(leftovers)
[[ -z "$left" ]] || fail "left behind after uninstalling: $left"
if wine reg query "$uninstall_key" /reg:64 >/dev/null 2>&1; then
  fail "the registry key $uninstall_key is still there"
fi

echo "--- another VST 2 folder (the directory page's choice; /D= when silent)"
custom_folder=$drive_c/VST2
wine "$installer" /S '/D=C:\VST2' || fail "the silent install into C:\VST2 ended with status $?"
timeout 300 wineserver -w
cmp "$build/plugin/$product.dll" "$custom_folder/$product.dll" || fail "$product.dll is not installed in C:\VST2"
[[ -e "$vst2_folder" ]] && fail "the default VST 2 folder was made although another was chosen"
entry=$(wine reg query "$uninstall_key" /reg:64 2>&1 | tr -d '\r') || fail "no registry key $uninstall_key"
expect_value VstPluginFolder 'C:\VST2'
# A preset the user saved among the factory ones outlives the uninstall.
presets_folder=$custom_folder/$product\ Presets
diff -r "$build/presets/fxp" "$presets_folder" || fail "the factory presets are not installed beside the DLL in C:\VST2"
echo "the user's own" >"$presets_folder/Mine.fxp"
wine "$uninstaller_path" /S || fail "the silent uninstall ended with status $?"
timeout 300 wineserver -w
timeout 300 wine wineboot --restart >/dev/null 2>&1 || fail "wineboot --restart ended with status $?"
timeout 300 wineserver -w
kept=$(cd "$presets_folder" 2>/dev/null && ls) || true
[[ "$kept" == Mine.fxp ]] || fail "the uninstaller should leave the user's Mine.fxp alone and take the rest; left: '$kept'"
rm -rf "$custom_folder"
left=$(leftovers)
[[ -z "$left" ]] || fail "left behind after uninstalling: $left"

if ((failures)); then
  echo "$failures check(s) failed; the prefix is kept in $prefix"
  exit 1
fi
cleanup
timeout 60 wineserver -w >/dev/null 2>&1 || true
rm -rf "$prefix"
echo "The installer installs, runs and uninstalls cleanly"
