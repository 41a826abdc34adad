#!/usr/bin/env bash
# Installs the Debian 12 packages Varnoke builds and tests with, when missing.
# Installing packages is all it does to the system: what the tests need beyond
# packages (apt's source indexes for the Windows build, a locale with a decimal
# comma) is made in the build folders.
# Usage: scripts/install-dependencies.sh [build|test|windows|package|arm64]
#   test also installs the test tools and the Windows cross-build (CI runs the Windows tests);
#   windows installs the build packages and the Windows cross-build only;
#   package the build packages and what the Debian package is made with (scripts/package.sh);
#   arm64 what the arm64 cross-build and its checks need here (scripts/build-arm64.sh).
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config juce-modules-source fst-dev libflac-dev libvorbis-dev fonts-dejavu-core
  libfreetype-dev libpng-dev libjpeg-dev zlib1g-dev
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev)
# The LV2 headers the LV2 plug-in is built on (lv2/).
build_packages+=(lv2-dev)
# Rebuilds reuse earlier compilations (the test command builds the tree several
# times over: plain, sanitizers, Windows).
build_packages+=(ccache)
# locales: the definitions the state tests compile a decimal-comma locale from.
test_packages=(libgtest-dev googletest libbenchmark-dev xvfb x11-apps imagemagick locales libxtst-dev libxres-dev clang-format)
# Sanitizer runtimes for g++ (scripts/sanitize.sh); clang with libFuzzer and its symbolizer (scripts/fuzz.sh).
test_packages+=(libasan8 libubsan1 libtsan2 clang-14 libclang-rt-14-dev llvm-14)
# Typefaces of the artwork generator (scripts/make-artwork.sh); the build uses the committed PNGs.
test_packages+=(fonts-liberation2 fonts-bebas-neue fonts-dancingscript)
# Independent WAV readers that check varnoke-render's output files.
test_packages+=(sox sndfile-programs)
# The LV2 hosts' library, Debian's LV2 tools (lv2apply, lv2file) and jalv on a
# JACK server with a dummy sound card, for the LV2 plug-in's tests.
test_packages+=(liblilv-dev lilv-utils lv2file jalv jackd2 x11-utils)
# The Debian package: dpkg-shlibdeps computes its dependencies (CPack), gzip
# compresses its manual page and changelog.
package_packages=(dpkg-dev gzip)
# Its checks: lintian, and man (man-db, groff-base) formats the manual page.
test_packages+=("${package_packages[@]}" lintian man-db groff-base)
# pluginval, built from ../shared/validators by the validator tests, hosts LADSPA too.
test_packages+=(ladspa-sdk)
# The fresh-machine check builds a throwaway minimal Debian root (scripts/check-fresh-machine.sh).
test_packages+=(mmdebstrap)
# Varnoke.dll cross-built with mingw-w64 and tested under Wine (scripts/build-windows.sh);
# libpng and libjpeg-turbo are built from Debian's source packages (dpkg-dev unpacks them);
# makensis (nsis) builds the installer.
# The arm64 cross-build runs in a throwaway root (mmdebstrap), its checks run
# the arm64 programs under qemu-user, on signals made with sox.
arm64_packages=(mmdebstrap git qemu-user-static sox python3)
test_packages+=("${arm64_packages[@]}")
windows_packages=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 dpkg-dev xvfb nsis
  googletest)

mode=${1:-build}
wanted=("${build_packages[@]}")
case "$mode" in
  test) wanted+=("${test_packages[@]}" "${windows_packages[@]}") ;;
  windows) wanted+=("${windows_packages[@]}") ;;
  package) wanted+=("${package_packages[@]}") ;;
  arm64) wanted=("${arm64_packages[@]}") ;;
esac

missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then
  sudo_cmd=(sudo)
fi

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]} (the first install pulls in JUCE's dependencies and takes a few minutes)"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
